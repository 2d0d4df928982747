// Turning what a user types into the protocol's numbers: listing lookup,
// the k + 2 numbering, seek plans and the server's joined fields.
#include <gtest/gtest.h>

#include "Listing.h"
#include "SeekPlan.h"
#include "Text.h"
#include "protocol/Messages.h"

namespace tembrel::client {
namespace {

TEST(Listing, FindsByNameIgnoringCaseOrByShownNumber) {
    const std::vector<std::string> artists{"Aurora Vale", "aurora vale", "Mira Okon"};
    EXPECT_EQ(findListed(artists, "aurora vale"), 1u); // exact case wins
    EXPECT_EQ(findListed(artists, "AURORA VALE"), 0u); // else the first in any case
    EXPECT_EQ(findListed(artists, "mira okon"), 2u);
    EXPECT_EQ(findListed(artists, "3"), 2u);
    EXPECT_EQ(findListed(artists, "0"), std::nullopt);
    EXPECT_EQ(findListed(artists, "4"), std::nullopt);
    EXPECT_EQ(findListed(artists, "Mira"), std::nullopt);
    EXPECT_EQ(findListed({}, "1"), std::nullopt);
}

TEST(Listing, NamesWinOverNumbers) {
    const std::vector<std::string> albums{"Debut", "1999", "2"};
    EXPECT_EQ(findListed(albums, "1999"), 1u);
    EXPECT_EQ(findListed(albums, "2"), 2u);
    EXPECT_EQ(findListed(albums, "1"), 0u);
}

TEST(Listing, TracksMatchWithOrWithoutExtension) {
    const std::vector<std::string> tracks{"01 Ice Road.mp3", "02 Whistle Stop.wma"};
    EXPECT_EQ(findListed(tracks, "02 whistle stop", NameMatch::ExtensionFree), 1u);
    EXPECT_EQ(findListed(tracks, "01 Ice Road.MP3", NameMatch::ExtensionFree), 0u);
    EXPECT_EQ(findListed(tracks, "02 whistle stop"), std::nullopt);
}

TEST(Listing, ProtocolNumbersStartAtTwo) {
    EXPECT_EQ(protocol::listedNumber(0), 2);
    EXPECT_EQ(protocol::listedNumber(9), 11);
    EXPECT_EQ(protocol::kLooseTracksAlbumNumber, 1);
}

TEST(SeekPlan, RelativeSeeksRoundUpToTwoSecondSteps) {
    auto plan = planSeek("+5");
    ASSERT_TRUE(plan);
    EXPECT_EQ(protocol::commandName(plan->command), "Next");
    EXPECT_EQ(plan->repeat, 3);
    plan = planSeek("-1");
    ASSERT_TRUE(plan);
    EXPECT_EQ(protocol::commandName(plan->command), "Prev");
    EXPECT_EQ(plan->repeat, 1);
    plan = planSeek("+3600");
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->repeat, 1800);
    EXPECT_FALSE(planSeek("+3601"));
    EXPECT_FALSE(planSeek("+0"));
    EXPECT_FALSE(planSeek("+"));
    EXPECT_FALSE(planSeek("-2s"));
}

TEST(SeekPlan, PercentagesScaleToTheSetTimeRange) {
    const auto middle = planSeek("50");
    ASSERT_TRUE(middle);
    EXPECT_EQ(protocol::commandName(middle->command), "SetTime");
    EXPECT_EQ(middle->argument, "142");
    EXPECT_EQ(planSeek("100%")->argument, "284");
    EXPECT_EQ(planSeek("0")->argument, "0");
    EXPECT_EQ(planSeek("33")->argument, "93");
    EXPECT_FALSE(planSeek("101"));
    EXPECT_FALSE(planSeek("%"));
    EXPECT_FALSE(planSeek(""));
}

TEST(Text, SplitsJoinedFieldsKeepingBackslashesInTheMiddle) {
    EXPECT_EQ(protocol::splitFields("Aurora Vale\\Ice Road\\0:10", 3),
              (std::vector<std::string>{"Aurora Vale", "Ice Road", "0:10"}));
    EXPECT_EQ(protocol::splitFields("AC\\DC? No\\Back\\Slash\\4:00", 3),
              (std::vector<std::string>{"AC", "DC? No\\Back\\Slash", "4:00"}));
    EXPECT_EQ(protocol::splitFields("only", 3), (std::vector<std::string>{"only", "", ""}));
    EXPECT_EQ(protocol::splitFields("", 3), (std::vector<std::string>{"", "", ""}));
}

TEST(Text, ReadsNumbersTheWayTheServerWritesThem) {
    EXPECT_EQ(leadingNumber("  42abc"), 42);
    EXPECT_EQ(leadingNumber("-7"), -7);
    EXPECT_EQ(leadingNumber("x"), 0);
    EXPECT_EQ(parseUnsigned("007"), 7);
    EXPECT_FALSE(parseUnsigned(" 7"));
    EXPECT_FALSE(parseUnsigned("99999999999"));
    EXPECT_EQ(formatMinutes(75), "1:15");
    EXPECT_EQ(formatMinutes(4500), "75:00");
}

} // namespace
} // namespace tembrel::client

// Numbers read from client text and the port field, and the event texts.
#include <gtest/gtest.h>

#include <climits>

#include "remote/DecimalText.h"
#include "remote/EventText.h"

namespace tembrel::remote {
namespace {

TEST(AtoiClamped, ReadsLikeAtoi) {
    EXPECT_EQ(atoiClamped("142"), 142);
    EXPECT_EQ(atoiClamped("  \t-12abc"), -12);
    EXPECT_EQ(atoiClamped("+7"), 7);
    EXPECT_EQ(atoiClamped("3.9"), 3);
    EXPECT_EQ(atoiClamped("abc"), 0);
    EXPECT_EQ(atoiClamped(""), 0);
    EXPECT_EQ(atoiClamped("- 5"), 0);
    EXPECT_EQ(atoiClamped("+-5"), 0);
    EXPECT_EQ(atoiClamped("007"), 7);
}

TEST(AtoiClamped, ClampsInsteadOfOverflowing) {
    EXPECT_EQ(atoiClamped("2147483647"), INT_MAX);
    EXPECT_EQ(atoiClamped("2147483648"), INT_MAX);
    EXPECT_EQ(atoiClamped("-2147483648"), INT_MIN);
    EXPECT_EQ(atoiClamped("-99999999999999999999999999"), INT_MIN);
    EXPECT_EQ(atoiClamped(std::string(5000, '9')), INT_MAX);
}

TEST(ParseDecimalInteger, AcceptsOnlyAWholeNumber) {
    EXPECT_EQ(parseDecimalInteger("6000"), 6000);
    EXPECT_EQ(parseDecimalInteger(" 6000 "), 6000);
    EXPECT_EQ(parseDecimalInteger("-1"), -1);
    EXPECT_EQ(parseDecimalInteger("+80"), 80);
    EXPECT_FALSE(parseDecimalInteger(""));
    EXPECT_FALSE(parseDecimalInteger("  "));
    EXPECT_FALSE(parseDecimalInteger("60a"));
    EXPECT_FALSE(parseDecimalInteger("60 00"));
    EXPECT_FALSE(parseDecimalInteger("-"));
    EXPECT_FALSE(parseDecimalInteger("2147483648"));
}

TEST(EventText, FillsTheNameAndTheNumber) {
    EXPECT_EQ(eventText(EventId::PingMeasured, "anna", 17),
              "The ping from the anna is received in 17 milliseconds.");
    EXPECT_EQ(eventText(EventId::UserJoined, "bob"), "bob joined the server.");
    EXPECT_EQ(eventText(EventId::ServerStopped), "The server is stopped.");
    EXPECT_EQ(eventText(EventId::CannotStart), "Cannot start the server.");
    // A name that looks like a placeholder is taken literally.
    EXPECT_EQ(eventText(EventId::UserLeft, "%s%d"), "%s%d left the server.");
}

} // namespace
} // namespace tembrel::remote

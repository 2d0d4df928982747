// The watch screen: spectrum parsing and bars, the "spectrum off" rule and
// the events it shows.
#include <gtest/gtest.h>

#include "Spectrum.h"
#include "WatchScreen.h"

namespace tembrel::client {
namespace {

using namespace std::chrono_literals;

net::CNDKMessage message(std::int32_t id, std::string_view name, std::string_view payload = {}) {
    net::CNDKMessage m(id);
    m.appendText(name);
    if (!payload.empty()) {
        m.appendText(payload);
    }
    return m;
}

constexpr std::string_view kFrame = "100\\0\\50\\-3\\150\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11";

TEST(Spectrum, ParsesExactlySixteenNumbers) {
    const auto bands = protocol::parseBands(kFrame);
    ASSERT_TRUE(bands);
    EXPECT_EQ((*bands)[0], 100);
    EXPECT_EQ((*bands)[3], -3);
    EXPECT_EQ((*bands)[15], 11);
    EXPECT_FALSE(protocol::parseBands("1\\2\\3"));
    EXPECT_FALSE(protocol::parseBands(std::string(kFrame) + "\\12"));
    EXPECT_FALSE(protocol::parseBands("1\\\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\13\\14\\15"));
    EXPECT_FALSE(protocol::parseBands("x\\1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\13\\14\\15"));
    EXPECT_FALSE(protocol::parseBands(""));
}

TEST(Spectrum, BarsHaveEighthLineResolutionAndClamp) {
    const auto bands = *protocol::parseBands(kFrame);
    const auto rows = spectrumRows(bands, 2, 1);
    ASSERT_EQ(rows.size(), 2u);
    // Band 0 (100): full in both rows. Band 1 (0): blank. Band 2 (50):
    // sqrt(0.5) of 16 eighths is 11: the bottom row full, the top 3 eighths.
    // Band 3 (-3) blank, band 4 (150) full.
    EXPECT_TRUE(rows[0].starts_with("█   ▃   █ ")) << rows[0];
    EXPECT_TRUE(rows[1].starts_with("█   █   █ ")) << rows[1];
    // In one line of 8 eighths: 50 gives 6 (▆), 10 gives 3 (▃), 1 gives 1 (▁)
    // and 0 nothing.
    const auto single = spectrumRows(SpectrumBands{50, 10, 1, 0}, 1, 1);
    EXPECT_TRUE(single[0].starts_with("▆ ▃ ▁   ")) << single[0];
}

TEST(WatchModel, SpectrumTurnsOffWhenStoppedOrStale) {
    WatchModel model;
    const auto t0 = WatchModel::Clock::now();
    EXPECT_FALSE(model.spectrum(t0));
    EXPECT_TRUE(model.apply(message(0, "^Spectrum", kFrame), t0));
    EXPECT_TRUE(model.spectrum(t0 + 1s));
    EXPECT_FALSE(model.spectrumExpired(t0 + 1s));
    EXPECT_FALSE(model.spectrum(t0 + kSpectrumStale + 1ms));
    EXPECT_TRUE(model.spectrumExpired(t0 + kSpectrumStale + 1ms));
    EXPECT_FALSE(model.spectrumExpired(t0 + kSpectrumStale + 2ms));

    EXPECT_TRUE(model.apply(message(0, "^Spectrum", kFrame), t0));
    EXPECT_TRUE(model.apply(message(0, "^StopSpectrum"), t0));
    EXPECT_FALSE(model.spectrum(t0));
    // A malformed frame changes nothing.
    EXPECT_FALSE(model.apply(message(0, "^Spectrum", "1\\2"), t0));
    EXPECT_FALSE(model.spectrum(t0));
}

TEST(WatchModel, OtherUsersJoiningAndLeaving) {
    WatchModel model;
    const auto now = WatchModel::Clock::now();
    EXPECT_TRUE(model.apply(message(0, "anna"), now));
    EXPECT_EQ(model.lastEvent(), "anna joined");
    EXPECT_TRUE(model.apply(message(1, "bob"), now));
    EXPECT_EQ(model.lastEvent(), "bob left");
    // A status reply on a join message is not a user.
    EXPECT_FALSE(model.apply(message(0, "^Status", "Playing"), now));
    EXPECT_EQ(model.lastEvent(), "bob left");
}

TEST(WatchScreen, ShowsSpectrumOffOrTheBars) {
    PlayerStatus status;
    status.state = "Playing";
    status.current = TrackInfo{"Ice Road", "Northern Lights", "Aurora Vale"};
    status.trackNumber = 1;
    status.playlistLength = 3;
    const std::string off = renderWatchScreen("localhost:6000", status, std::nullopt, "");
    EXPECT_NE(off.find("spectrum off"), std::string::npos);
    EXPECT_EQ(off.find("█"), std::string::npos);
    EXPECT_TRUE(off.starts_with("\x1b[H"));
    EXPECT_NE(off.find("Ice Road   [1/3]"), std::string::npos);

    const std::string on =
        renderWatchScreen("localhost:6000", status, protocol::parseBands(kFrame), "");
    EXPECT_EQ(on.find("spectrum off"), std::string::npos);
    EXPECT_NE(on.find("█"), std::string::npos);

    EXPECT_NE(watchLine(status, std::nullopt).find("spectrum off"), std::string::npos);
}

} // namespace
} // namespace tembrel::client

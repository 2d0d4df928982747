// Folding the server's status replies into the client's view of the player,
// and knowing where one status broadcast ends.
#include <gtest/gtest.h>

#include "PlayerStatus.h"
#include "StatusFormat.h"

namespace tembrel::client {
namespace {

net::CNDKMessage reply(std::string_view name, std::string_view payload = {}) {
    net::CNDKMessage message(2);
    message.appendText(name);
    message.appendText(payload);
    return message;
}

TEST(StatusTracker, BroadcastWithoutPositionEndsAtElapsed) {
    StatusTracker tracker;
    EXPECT_TRUE(tracker.apply(reply("^TrackName", "Playlist is empty")));
    EXPECT_TRUE(tracker.apply(reply("^TrackNo", "0")));
    EXPECT_TRUE(tracker.apply(reply("^Status", "Stopped")));
    EXPECT_TRUE(tracker.apply(reply("^Volume", "50")));
    EXPECT_TRUE(tracker.apply(reply("^NumTracks", "0")));
    EXPECT_FALSE(tracker.pushEnded());
    EXPECT_TRUE(tracker.apply(reply("^Elapsed", "-:--")));
    EXPECT_TRUE(tracker.pushEnded());
    EXPECT_FALSE(tracker.status().current);
    EXPECT_EQ(tracker.status().state, "Stopped");
    EXPECT_EQ(tracker.status().volumePercent, 50);
}

TEST(StatusTracker, BroadcastWithPositionEndsAtLength) {
    StatusTracker tracker;
    tracker.apply(reply("^CurrentTrackInfo", "Ice Road\\Northern Lights\\Aurora Vale"));
    tracker.apply(reply("^TrackNo", "2"));
    tracker.apply(reply("^Status", "Playing"));
    tracker.apply(reply("^Elapsed", "1:05"));
    EXPECT_FALSE(tracker.pushEnded());
    tracker.apply(reply("^TimeS", "65"));
    EXPECT_FALSE(tracker.pushEnded());
    tracker.apply(reply("^LengthS", "200"));
    EXPECT_TRUE(tracker.pushEnded());
    const PlayerStatus& status = tracker.status();
    ASSERT_TRUE(status.current);
    EXPECT_EQ(status.current->title, "Ice Road");
    EXPECT_EQ(status.current->album, "Northern Lights");
    EXPECT_EQ(status.current->artist, "Aurora Vale");
    EXPECT_EQ(positionText(status), "1:05 / 3:20");

    // The next broadcast after a pause drops the position again.
    tracker.apply(reply("^Status", "Paused"));
    EXPECT_FALSE(tracker.pushEnded());
    tracker.apply(reply("^Elapsed", "-:--"));
    EXPECT_TRUE(tracker.pushEnded());
    EXPECT_FALSE(tracker.status().lengthSeconds);
    EXPECT_EQ(positionText(tracker.status()), "-:--");
}

TEST(StatusTracker, SwitchesAndOtherReplies) {
    StatusTracker tracker;
    EXPECT_FALSE(tracker.status().shuffle);
    tracker.apply(reply("^ShuffleOn"));
    tracker.apply(reply("^RepeatOff"));
    EXPECT_EQ(tracker.status().shuffle, true);
    EXPECT_EQ(tracker.status().repeat, false);
    EXPECT_FALSE(tracker.apply(reply("^AddArtist", "Aurora Vale")));
    EXPECT_FALSE(tracker.apply(reply("^Spectrum", "1\\2")));

    const Json json = statusJson(tracker.status());
    EXPECT_NE(json.dump().find(R"("shuffle":true,"repeat":false)"), std::string::npos);
    EXPECT_NE(json.dump().find(R"("track":null)"), std::string::npos);
}

} // namespace
} // namespace tembrel::client

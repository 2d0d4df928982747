// The status broadcast: its replies in order for each play state, the
// elapsed-time format, and the 1000 ms timer that follows the latest push.
#include <gtest/gtest.h>

#include <chrono>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

using Replies = std::vector<std::pair<std::string, std::string>>;

class StatusPush : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness.start());
        anna = harness.join("anna");
        ASSERT_NE(anna, nullptr);
    }

    StatusReplies probeStatus() {
        EXPECT_TRUE(anna->send(makeCommand("Probe")));
        auto status = readStatus(*anna);
        EXPECT_TRUE(status.has_value());
        return status.value_or(StatusReplies{});
    }

    ControllerHarness harness;
    std::unique_ptr<TestClient> anna;
};

TEST_F(StatusPush, EmptyPlaylist) {
    EXPECT_EQ(probeStatus().replies, (Replies{{"^TrackName", "Playlist is empty"},
                                              {"^TrackNo", "0"},
                                              {"^Status", "Stopped"},
                                              {"^Volume", "50"},
                                              {"^NumTracks", "0"},
                                              {"^Elapsed", "-:--"}}));
}

TEST_F(StatusPush, PlayingCarriesElapsedSecondsAndLength) {
    ASSERT_TRUE(harness.queueFakeTrack("/m/a.mp3", 200'500, "Title", "Singer", "Record"));
    ASSERT_TRUE(harness.queueFakeTrack("/m/b.mp3", 1'000, "B"));
    harness.fake().advance(65'432);
    EXPECT_EQ(probeStatus().replies, (Replies{{"^CurrentTrackInfo", "Title\\Record\\Singer"},
                                              {"^TrackNo", "1"},
                                              {"^Status", "Playing"},
                                              {"^Volume", "50"},
                                              {"^NumTracks", "2"},
                                              {"^Elapsed", "1:05"},
                                              {"^TimeS", "65"},
                                              {"^LengthS", "200"}}));
}

TEST_F(StatusPush, ElapsedFormat) {
    ASSERT_TRUE(harness.queueFakeTrack("/m/long.mp3", 10'000'000, "Long"));
    const auto stream = harness.server().soundEngine().stream();
    const std::pair<int, const char*> cases[] = {{5'000, "0:05"},
                                                 {187'999, "3:07"},
                                                 {765'000, "12:45"},
                                                 {4'500'000, "75:00"},
                                                 {999, "0:00"}};
    for (const auto& [position, text] : cases) {
        (void)harness.fake().setStreamTime(stream, position);
        EXPECT_EQ(probeStatus().get("^Elapsed"), text) << position;
    }
    (void)harness.fake().setStreamTime(stream, 0);
    const StatusReplies atStart = probeStatus();
    EXPECT_EQ(atStart.get("^Elapsed"), "-:--") << "position 0 counts as no position";
    EXPECT_FALSE(atStart.get("^TimeS").has_value());
}

TEST_F(StatusPush, PausedAndStoppedShowNoTime) {
    ASSERT_TRUE(harness.queueFakeTrack("/m/a.mp3", 200'500, "Title"));
    harness.fake().advance(10'000);
    ASSERT_TRUE(anna->send(makeCommand("Pause")));
    auto paused = readStatus(*anna);
    ASSERT_TRUE(paused.has_value());
    EXPECT_EQ(paused->get("^Status"), "Paused");
    EXPECT_EQ(paused->get("^Elapsed"), "-:--");
    EXPECT_EQ(paused->replies.size(), 6u);
}

TEST_F(StatusPush, VolumePercentage) {
    const std::pair<int, const char*> cases[] = {{0, "0"}, {16, "6"}, {128, "50"}, {255, "100"}};
    for (const auto& [volume, percent] : cases) {
        harness.server().soundEngine().setVolume(volume);
        EXPECT_EQ(probeStatus().get("^Volume"), percent);
    }
}

TEST_F(StatusPush, GetInfoBroadcastsTwiceToEveryone) {
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    (void)anna->drain(200);
    ASSERT_TRUE(anna->send(makeCommand("GetInfo")));
    for (TestClient* client : {anna.get(), bob.get()}) {
        for (int round = 0; round < 2; ++round) {
            std::vector<net::CNDKMessage> before;
            ASSERT_TRUE(readStatus(*client, 3000, &before).has_value()) << round;
            EXPECT_TRUE(before.empty());
        }
    }
    EXPECT_TRUE(anna->drain(200).empty()) << "exactly two";
}

TEST_F(StatusPush, RepliesToACommandKeepItsIdAndValues) {
    net::CNDKMessage message = makeCommand("GetInfo", "one");
    message.appendText("two");
    message.appendText("three");
    ASSERT_TRUE(anna->send(message));
    const auto reply = anna->receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->id(), protocol::kIdCommand);
    EXPECT_EQ(textAt(*reply, 0), "^TrackName");
    EXPECT_EQ(textAt(*reply, 2), "two");
    EXPECT_EQ(textAt(*reply, 3), "three");
}

TEST_F(StatusPush, QuietServerPushesOneSecondAfterTheLatestPush) {
    using Clock = std::chrono::steady_clock;
    (void)anna->drain(50);
    ASSERT_TRUE(anna->send(makeCommand("GetInfo")));
    ASSERT_TRUE(readStatus(*anna).has_value());
    ASSERT_TRUE(readStatus(*anna).has_value());
    const auto lastPush = Clock::now();

    auto timed = readStatus(*anna, 3000);
    ASSERT_TRUE(timed.has_value());
    const auto waited = Clock::now() - lastPush;
    EXPECT_GE(waited, std::chrono::milliseconds(800));
    // The timer's push is a message of its own, not a reply to the command.
    EXPECT_TRUE(readStatus(*anna, 3000).has_value()) << "and again a second later";
}

TEST_F(StatusPush, TimerPushIsADefaultMessage) {
    (void)anna->drain(50);
    const auto message = anna->receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TrackName"; }, 3000);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->back().id(), net::kDefaultMessageId);
    EXPECT_EQ(message->back().valueCount(), 2);
}

TEST_F(StatusPush, CommandsFasterThanOnceASecondHoldTheTimerOff) {
    (void)anna->drain(50);
    // Commands every 300 ms for 2.4 s: every status seen is a reply (id 2),
    // none comes from the timer.
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(anna->send(makeCommand("Nothing")));
        for (const net::CNDKMessage& message : anna->drain(300)) {
            EXPECT_EQ(message.id(), protocol::kIdCommand) << textAt(message, 0);
        }
    }
}

TEST(StatusPushReal, PlayingRealAudioReportsItsTimes) {
    ControllerHarness harness(ControllerHarness::Sound::Real);
    ToneSpec tone;
    tone.seconds = 6.0;
    tone.title = "Tone";
    tone.artist = "Generator";
    tone.album = "Fixtures";
    tone.tags = TagStyle::Id3v2AndV1;
    const auto file = harness.folder() / "tone.mp3";
    ASSERT_TRUE(makeMp3(file, tone));
    ASSERT_TRUE(harness.start());
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);

    ASSERT_TRUE(harness.server().playlist().appendEntry(file.string(), file.string()));
    ASSERT_TRUE(waitUntil(
        [&] {
            return harness.server().soundEngine().library().streamTime(
                       harness.server().soundEngine().stream()) >= 1'200;
        },
        5000));
    (void)anna->drain(20);
    ASSERT_TRUE(anna->send(makeCommand("Nothing")));
    auto playing = readStatus(*anna);
    ASSERT_TRUE(playing.has_value());
    EXPECT_EQ(playing->get("^CurrentTrackInfo"), "Tone\\Fixtures\\Generator");
    EXPECT_EQ(playing->get("^Status"), "Playing");
    const int seconds = std::stoi(playing->get("^TimeS").value_or("-1"));
    EXPECT_GE(seconds, 1);
    EXPECT_LE(seconds, 5);
    EXPECT_EQ(playing->get("^Elapsed"), "0:0" + std::to_string(seconds));
    EXPECT_EQ(playing->get("^LengthS"), "6");

    ASSERT_TRUE(anna->send(makeCommand("Pause")));
    auto paused = readStatus(*anna);
    ASSERT_TRUE(paused.has_value());
    EXPECT_EQ(paused->get("^Status"), "Paused");
    EXPECT_EQ(paused->get("^Elapsed"), "-:--");

    ASSERT_TRUE(anna->send(makeCommand("Pause")));
    auto resumed = readStatus(*anna);
    ASSERT_TRUE(resumed.has_value());
    EXPECT_EQ(resumed->get("^Status"), "Playing");
    EXPECT_GE(std::stoi(resumed->get("^TimeS").value_or("-1")), seconds)
        << "resumed, not restarted";
}

} // namespace
} // namespace tembrel::test

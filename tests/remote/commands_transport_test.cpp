// The transport commands as clients see them: each command's effect on the
// sound library (exact calls, scripted library) and on the status broadcast
// that follows every command message.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

using playback::PlayState;

class TransportCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness.start());
        anna = harness.join("anna");
        ASSERT_NE(anna, nullptr);
    }

    // Sends a command and returns the status broadcast that follows it.
    StatusReplies command(std::string_view name, std::optional<std::string_view> arg = {},
                          std::vector<net::CNDKMessage>* before = nullptr) {
        EXPECT_TRUE(anna->send(makeCommand(name, arg)));
        auto status = readStatus(*anna, 3000, before);
        EXPECT_TRUE(status.has_value()) << "no status after " << name;
        return status.value_or(StatusReplies{});
    }

    void queueThree() {
        ASSERT_TRUE(harness.queueFakeTrack("/music/one.mp3", 200'500, "One"));
        ASSERT_TRUE(harness.queueFakeTrack("/music/two.mp3", 180'000, "Two"));
        ASSERT_TRUE(harness.queueFakeTrack("/music/three.mp3", 240'000, "Three"));
    }

    [[nodiscard]] std::string stream() {
        return std::to_string(harness.server().soundEngine().stream());
    }

    ControllerHarness harness;
    std::unique_ptr<TestClient> anna;
};

TEST_F(TransportCommands, PausePausesAndResumesAtTheSavedPositionInOrder) {
    queueThree();
    harness.fake().advance(65'432);
    harness.fake().clearCalls();

    StatusReplies paused = command("Pause");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"stop " + stream()});
    EXPECT_EQ(paused.get("^Status"), "Paused");
    EXPECT_EQ(paused.get("^Elapsed"), "-:--");
    EXPECT_FALSE(paused.get("^TimeS").has_value());

    harness.fake().advance(10'000); // a stopped stream does not move
    harness.fake().setStreamTime(harness.server().soundEngine().stream(), 1'000);
    harness.fake().clearCalls();
    StatusReplies resumed = command("Pause");
    EXPECT_EQ(harness.fake().calls(),
              (std::vector<std::string>{"play 1 " + stream(), "setVolume 1 128",
                                        "setTime " + stream() + " 65432"}));
    EXPECT_EQ(resumed.get("^Status"), "Playing");
    EXPECT_EQ(resumed.get("^Elapsed"), "1:05");
    EXPECT_EQ(resumed.get("^TimeS"), "65");
}

TEST_F(TransportCommands, PauseAndSetTimeDoNothingWhileStopped) {
    queueThree();
    command("Stop");
    harness.fake().clearCalls();
    EXPECT_EQ(command("Pause").get("^Status"), "Stopped");
    EXPECT_EQ(command("SetTime", "142").get("^Status"), "Stopped");
    EXPECT_TRUE(harness.fake().calls().empty());
}

TEST_F(TransportCommands, PlayRestartsThePausedEntryFromItsStart) {
    queueThree();
    command("End"); // entry 2 of 3
    harness.fake().advance(30'000);
    command("Pause");
    harness.fake().clearCalls();
    const std::string paused = stream();

    StatusReplies status = command("Play");
    ASSERT_FALSE(harness.fake().calls().empty());
    EXPECT_EQ(harness.fake().calls().front(), "stop " + paused) << "old stream released";
    EXPECT_NE(stream(), paused) << "a new stream";
    EXPECT_EQ(harness.fake().playingPath(), "/music/two.mp3");
    EXPECT_EQ(status.get("^Status"), "Playing");
    EXPECT_EQ(status.get("^TrackNo"), "2");
    EXPECT_EQ(status.get("^Elapsed"), "-:--") << "restarted at position 0";

    harness.fake().clearCalls();
    command("Play"); // already playing: nothing
    EXPECT_TRUE(harness.fake().calls().empty());
}

TEST_F(TransportCommands, PlayOnAnEmptyPlaylistIsReportedLocally) {
    const StatusReplies status = command("Play");
    EXPECT_EQ(status.get("^Status"), "Stopped");
    ASSERT_EQ(harness.view().notices.size(), 1u);
    EXPECT_EQ(harness.view().notices[0].caption, "Loading a song");
    EXPECT_EQ(harness.view().notices[0].text, "File not found");
    EXPECT_EQ(harness.view().notices[0].kind, remote::ServerView::NoticeKind::Error);
}

TEST_F(TransportCommands, StopStopsTheStreamInEveryState) {
    queueThree();
    harness.fake().clearCalls();
    EXPECT_EQ(command("Stop").get("^Status"), "Stopped");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"stop " + stream()});
    EXPECT_EQ(command("Play").get("^Status"), "Playing");
}

TEST_F(TransportCommands, SetTimeSeeksToAFractionOfTheTrackWhilePlaying) {
    ASSERT_TRUE(harness.queueFakeTrack("/music/long.mp3", 284'000, "Long"));
    harness.fake().clearCalls();
    command("SetTime", "142");
    ASSERT_EQ(harness.fake().calls().size(), 1u);
    const std::string call = harness.fake().calls().front();
    const std::string prefix = "setTime " + stream() + " ";
    ASSERT_EQ(call.rfind(prefix, 0), 0u);
    const int position = std::stoi(call.substr(prefix.size()));
    EXPECT_NEAR(position, 142'000, 1) << "142 addresses the middle";

    harness.fake().clearCalls();
    command("SetTime", "0");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setTime " + stream() + " 0"});

    // A number far beyond the slider range is clamped, not overflowed.
    harness.fake().clearCalls();
    command("SetTime", "99999999999");
    EXPECT_EQ(harness.fake().calls(),
              std::vector<std::string>{"setTime " + stream() + " " + std::to_string(INT_MAX)});
}

TEST_F(TransportCommands, ArgumentIsValueTwoWhenPresent) {
    ASSERT_TRUE(harness.queueFakeTrack("/music/long.mp3", 284'000, "Long"));
    harness.fake().advance(50'000);
    harness.fake().clearCalls();
    net::CNDKMessage message = makeCommand("SetTime", "142");
    message.appendText("0");
    ASSERT_TRUE(anna->send(message));
    ASSERT_TRUE(readStatus(*anna).has_value());
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setTime " + stream() + " 0"});

    // A non-text value 2 reads as an empty argument: "PlayTrack" then does nothing.
    queueThree();
    net::CNDKMessage playTrack = makeCommand("PlayTrack", "2");
    playTrack.putFourByteB(2, 3);
    ASSERT_TRUE(anna->send(playTrack));
    const auto status = readStatus(*anna);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->get("^TrackNo"), "1");
}

TEST_F(TransportCommands, NextAndPrevSeekByTwoSeconds) {
    queueThree();
    playback::SoundLibrary& sound = harness.fake();
    const auto handle = harness.server().soundEngine().stream();
    (void)sound.setStreamTime(handle, 65'432);
    harness.fake().clearCalls();
    command("Next");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setTime " + stream() + " 67432"});

    (void)sound.setStreamTime(handle, 2'000);
    harness.fake().clearCalls();
    command("Prev");
    EXPECT_TRUE(harness.fake().calls().empty()) << "exactly 2000 ms: no seek";

    (void)sound.setStreamTime(handle, 2'001);
    harness.fake().clearCalls();
    command("Prev");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setTime " + stream() + " 1"});
}

TEST_F(TransportCommands, StartEndAndPlayTrackChangeTheCurrentEntry) {
    queueThree();
    EXPECT_EQ(command("End").get("^TrackNo"), "2");
    EXPECT_EQ(command("End").get("^TrackNo"), "3");
    StatusReplies last = command("End"); // last entry, repeat off: nothing
    EXPECT_EQ(last.get("^TrackNo"), "3");
    EXPECT_EQ(last.get("^CurrentTrackInfo"), "Three\\Album\\Artist");
    EXPECT_EQ(command("Start").get("^TrackNo"), "2");

    EXPECT_EQ(command("PlayTrack", "3").get("^TrackNo"), "3");
    EXPECT_EQ(command("PlayTrack", "1").get("^TrackNo"), "1");
    EXPECT_EQ(command("PlayTrack", "4").get("^TrackNo"), "1");
    EXPECT_EQ(command("PlayTrack", "0").get("^TrackNo"), "1");
    EXPECT_EQ(command("PlayTrack", "two").get("^TrackNo"), "1");
    EXPECT_EQ(command("PlayTrack", "-2147483648").get("^TrackNo"), "1");
    EXPECT_EQ(command("PlayTrack", "  +2 and more").get("^TrackNo"), "2") << "read as atoi";
}

TEST_F(TransportCommands, EndInShuffleModeLogsTheSenderAndThePreviousIndex) {
    queueThree();
    command("PlayTrack", "2");
    command("Shuffle");
    harness.view().clear();
    command("End");
    EXPECT_TRUE(harness.view().logged("anna:1"));

    command("Shuffle");
    harness.view().clear();
    command("End");
    EXPECT_TRUE(harness.view().log.empty()) << "no log line with shuffle off";
}

TEST_F(TransportCommands, RepeatTogglesAndTellsEveryUser) {
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    (void)anna->drain(200);

    for (const char* expected : {"^RepeatOn", "^RepeatOff"}) {
        net::CNDKMessage message = makeCommand("Repeat", "x");
        message.appendText("kept");
        ASSERT_TRUE(anna->send(message));
        for (TestClient* client : {anna.get(), bob.get()}) {
            std::vector<net::CNDKMessage> before;
            ASSERT_TRUE(readStatus(*client, 3000, &before).has_value());
            ASSERT_EQ(before.size(), 1u);
            EXPECT_EQ(before[0].id(), protocol::kIdCommand);
            EXPECT_EQ(textAt(before[0], 0), expected);
            EXPECT_EQ(textAt(before[0], 1), "");
            EXPECT_EQ(textAt(before[0], 2), "kept") << "further values stay";
        }
    }
    EXPECT_EQ(harness.server().playlist().repeat(), 0);
}

TEST_F(TransportCommands, ShuffleOffClearsThePlayedMarks) {
    queueThree();
    command("End");
    std::vector<net::CNDKMessage> before;
    command("Shuffle", std::nullopt, &before);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(textAt(before[0], 0), "^ShuffleOn");
    EXPECT_EQ(harness.server().playlist().entry(0).played, 1) << "kept while switching on";

    command("Shuffle", std::nullopt, &before);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(textAt(before[0], 0), "^ShuffleOff");
    EXPECT_EQ(before[0].valueCount(), 2);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(harness.server().playlist().entry(index).played, 0);
    }
}

TEST_F(TransportCommands, VolumeCommandsClampAndSetTheChannel) {
    EXPECT_EQ(command("GetInfo").get("^Volume"), "50");
    (void)anna->drain(100);

    harness.server().soundEngine().setVolume(250);
    harness.fake().clearCalls();
    EXPECT_EQ(command("Up").get("^Volume"), "100");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setVolume 1 255"});

    harness.server().soundEngine().setVolume(10);
    EXPECT_EQ(command("Down").get("^Volume"), "0");
    EXPECT_EQ(harness.server().soundEngine().volume(), 0);

    harness.server().soundEngine().setVolume(128);
    harness.fake().clearCalls();
    EXPECT_EQ(command("Mute").get("^Volume"), "0");
    EXPECT_EQ(harness.fake().calls(), std::vector<std::string>{"setVolume 1 0"});
    EXPECT_EQ(command("Up").get("^Volume"), "6") << "16 after mute";
    EXPECT_EQ(command("Up").get("^Volume"), "12");
}

TEST_F(TransportCommands, UnknownAndWrongCaseCommandsStillBroadcastTheStatus) {
    queueThree();
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    (void)anna->drain(200);
    harness.fake().clearCalls();

    for (const char* text : {"play", "Dance", "Stop ", ""}) {
        ASSERT_TRUE(anna->send(makeCommand(text)));
        for (TestClient* client : {anna.get(), bob.get()}) {
            std::vector<net::CNDKMessage> before;
            const auto status = readStatus(*client, 3000, &before);
            ASSERT_TRUE(status.has_value()) << text;
            EXPECT_TRUE(before.empty()) << "no reply of its own";
            EXPECT_EQ(status->get("^Status"), "Playing");
        }
    }
    net::CNDKMessage notText(protocol::kIdCommand);
    notText.putFourByteB(0, 7);
    ASSERT_TRUE(anna->send(notText));
    EXPECT_TRUE(readStatus(*anna).has_value());
    EXPECT_TRUE(harness.fake().calls().empty());
}

TEST_F(TransportCommands, OtherMessageIdsAreIgnoredEntirely) {
    const std::size_t logLines = harness.view().log.size();
    for (const std::int32_t id : {5, 1, -1, -5, 1000}) {
        net::CNDKMessage message(id);
        message.appendText("Up");
        ASSERT_TRUE(anna->send(message));
    }
    EXPECT_TRUE(anna->drain(300).empty());
    EXPECT_EQ(harness.view().log.size(), logLines);
    EXPECT_EQ(harness.server().soundEngine().volume(), 128);
}

TEST_F(TransportCommands, TestMessageIsLoggedWithoutReply) {
    net::CNDKMessage big(protocol::kIdBigMessage);
    const std::vector<std::uint8_t> tooLong(1'000, 0xAB); // beyond the 300-byte buffer
    big.appendValue(net::CNDKValue::fromBytes(tooLong));
    for (int code = 0; code <= 9; ++code) {
        big.appendValue(
            net::CNDKValue::fromScalar(static_cast<net::ValueType>(code), std::int64_t{-1}));
    }
    big.appendValue(net::CNDKValue::fromBytes(std::vector<std::uint8_t>(100'000, 1)));
    big.appendText("text");
    ASSERT_TRUE(anna->send(big));
    ASSERT_TRUE(waitUntil([&] {
        return harness.view().logged("* The server received the big message from anna. *");
    }));
    EXPECT_TRUE(anna->drain(300).empty()) << "no reply, no status";

    net::CNDKMessage empty(protocol::kIdBigMessage);
    ASSERT_TRUE(anna->send(empty));
    ASSERT_TRUE(waitUntil([&] {
        return std::count(harness.view().log.begin(), harness.view().log.end(),
                          "* The server received the big message from anna. *") == 2;
    })) << "a test message without values is logged too";
}

} // namespace
} // namespace tembrel::test

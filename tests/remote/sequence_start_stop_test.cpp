// The start/stop toggle: the start sequence's log lines, a failed listen and
// the start after it, the stop sequence with users connected, and the port
// field's integer check.
#include <gtest/gtest.h>

#include <QTcpServer>

#include <algorithm>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

// The scan runs on a worker, so its lines follow the sequence's own.
const std::vector<std::string> kStartLines{"Start Listening",
                                           "* The server is started. *",
                                           "OK",
                                           "Start FMOD",
                                           "Get Artists",
                                           "OK",
                                           "Get Albums",
                                           "OK"};

[[nodiscard]] long countCalls(const FakeSoundLibrary& fake, std::string_view prefix) {
    return std::count_if(fake.calls().begin(), fake.calls().end(),
                         [&](const std::string& call) { return call.starts_with(prefix); });
}

TEST(StartSequence, LogsItsEightLinesAndStartsEverything) {
    ControllerHarness harness;
    ASSERT_TRUE(harness.start());
    EXPECT_EQ(harness.view().log, kStartLines);
    EXPECT_EQ(harness.view().hosting, std::vector<bool>{true});
    EXPECT_GT(harness.port(), 0);
    EXPECT_EQ(countCalls(harness.fake(), "init 44100 32"), 1);
    EXPECT_TRUE(harness.fake().isInitialized());
    EXPECT_TRUE(harness.view().notices.empty());
}

TEST(StartSequence, ScansOnlyTheSetLocationsInOrder) {
    ControllerHarness harness;
    for (const char* name : {"one", "three", "five"}) {
        std::filesystem::create_directories(harness.folder() / name /
                                            (std::string("Artist-") + name));
    }
    harness.server().setLocation(0, (harness.folder() / "one").string());
    harness.server().setLocation(2, (harness.folder() / "three").string());
    harness.server().setLocation(4, (harness.folder() / "five").string());
    ASSERT_TRUE(harness.start());
    const auto& log = harness.view().log;
    const int getArtists = harness.view().logIndex("Get Artists");
    const int one = harness.view().logIndex((harness.folder() / "one").string());
    const int three = harness.view().logIndex((harness.folder() / "three").string());
    const int five = harness.view().logIndex((harness.folder() / "five").string());
    const int ok = harness.view().logIndex("OK", getArtists);
    ASSERT_GE(getArtists, 0);
    EXPECT_LT(getArtists, one);
    EXPECT_LT(one, three);
    EXPECT_LT(three, five);
    EXPECT_LT(five, ok);
    EXPECT_LT(harness.view().logIndex("Start FMOD"), getArtists);
    EXPECT_EQ(log.back(), "Location " + (harness.folder() / "five").string() +
                              ": 1 artist, 0 albums, 0 tracks");
    EXPECT_EQ(harness.server().mediaLibrary().artistTotal(), 3);
}

TEST(StartSequence, FailedListenNotifiesAndRunsTheRestThenAStartAfterItIsClean) {
    QTcpServer blocker;
    ASSERT_TRUE(blocker.listen(QHostAddress::Any, 0));
    ControllerHarness harness;
    std::filesystem::create_directories(harness.folder() / "music" / "Solo" / "Album");
    harness.server().setLocation(0, (harness.folder() / "music").string());
    harness.server().setPortText(std::to_string(blocker.serverPort()));
    harness.server().startStopServer();
    ASSERT_TRUE(harness.waitForLibrary());

    EXPECT_FALSE(harness.server().isHosting());
    ASSERT_EQ(harness.view().notices.size(), 1u);
    EXPECT_EQ(harness.view().notices[0].text, "Cannot start the server.");
    EXPECT_EQ(harness.view().notices[0].kind, remote::ServerView::NoticeKind::Error);
    const auto& log = harness.view().log;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Start Listening");
    EXPECT_EQ(log[1], "Start FMOD") << "no line between them";
    EXPECT_EQ(log[2], "Get Artists");
    EXPECT_EQ(harness.server().mediaLibrary().artistTotal(), 1);
    EXPECT_TRUE(harness.view().hosting.empty());

    // Pressed again once the port is free: one library, one sound start.
    blocker.close();
    harness.view().clear();
    harness.server().startStopServer();
    ASSERT_TRUE(harness.waitForLibrary());
    EXPECT_TRUE(harness.server().isHosting());
    EXPECT_EQ(harness.server().mediaLibrary().artistTotal(), 1);
    EXPECT_EQ(countCalls(harness.fake(), "init "), 1);
    EXPECT_EQ(harness.view().log.front(), "Start Listening");
    EXPECT_EQ(harness.view().log[3], "Start FMOD");
}

TEST(StopSequence, TellsConnectedUsersAndTakesEverythingDown) {
    ControllerHarness harness;
    std::filesystem::create_directories(harness.folder() / "music" / "Solo" / "Album");
    harness.server().setLocation(0, (harness.folder() / "music").string());
    ASSERT_TRUE(harness.start());
    auto anna = harness.join("anna");
    auto bob = harness.join("bob");
    ASSERT_NE(anna, nullptr);
    ASSERT_NE(bob, nullptr);
    ASSERT_TRUE(harness.queueFakeTrack("/m/a.mp3", 100'000, "A"));
    (void)anna->drain(50);
    (void)bob->drain(50);
    harness.view().clear();
    harness.fake().clearCalls();

    harness.server().startStopServer();
    for (TestClient* client : {anna.get(), bob.get()}) {
        const auto stopping = client->receive();
        ASSERT_TRUE(stopping.has_value());
        EXPECT_EQ(stopping->id(), net::kNdkIdServerStopping);
        const auto dropped = client->receive();
        ASSERT_TRUE(dropped.has_value());
        EXPECT_EQ(dropped->id(), net::kNdkIdDropped);
        EXPECT_TRUE(client->waitForClose());
    }
    EXPECT_EQ(harness.view().log, std::vector<std::string>{"* The server is stopped. *"});
    EXPECT_EQ(harness.view().hosting, std::vector<bool>{false});
    EXPECT_FALSE(harness.server().isHosting());
    EXPECT_EQ(harness.server().mediaLibrary().artistTotal(), 0);
    EXPECT_FALSE(harness.fake().isInitialized());
    EXPECT_EQ(harness.fake().openStreamCount(playback::OpenPurpose::Playback), 0);
    EXPECT_TRUE(harness.server().userNames().empty()) << "nobody is connected any more";
    EXPECT_TRUE(harness.view().currentUsers().lines.empty());
    EXPECT_EQ(harness.server().playlist().count(), 1);

    // Start again: the same lines, a fresh scan.
    harness.view().clear();
    harness.server().startStopServer();
    ASSERT_TRUE(harness.waitForLibrary());
    EXPECT_TRUE(harness.server().isHosting());
    EXPECT_EQ(harness.server().mediaLibrary().artistTotal(), 1);
    EXPECT_EQ(harness.view().logIndex("Start Listening"), 0);
    EXPECT_EQ(harness.view().log[3], "Start FMOD");
}

TEST(StartStopToggle, PortMustBeAnInteger) {
    ControllerHarness harness;
    for (const char* text : {"", "abc", "60 00", "6000x", "99999999999"}) {
        harness.server().setPortText(text);
        harness.server().startStopServer();
        EXPECT_FALSE(harness.server().isHosting()) << text;
    }
    EXPECT_EQ(harness.view().portPrompts, 5);
    EXPECT_TRUE(harness.view().log.empty());
    EXPECT_TRUE(harness.fake().calls().empty());

    harness.server().setPortText(" 0 ");
    harness.server().startStopServer();
    EXPECT_TRUE(harness.server().isHosting()) << "blanks around the number are accepted";
    EXPECT_TRUE(harness.waitForLibrary());
}

} // namespace
} // namespace tembrel::test

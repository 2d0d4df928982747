// Session events: what a newcomer and the others receive on a join, the
// leave message and event line per drop reason, the user list with its
// selection, the disconnect operations, the user limit and the ping line.
#include <gtest/gtest.h>

#include <algorithm>

#include "remote/ControllerHarness.h"

namespace tembrel::test {
namespace {

using Replies = std::vector<std::pair<std::string, std::string>>;

[[nodiscard]] Replies namesAndPayloads(const std::vector<net::CNDKMessage>& messages) {
    Replies result;
    for (const net::CNDKMessage& m : messages) {
        result.emplace_back(textAt(m, 0), textAt(m, 1));
    }
    return result;
}

// Two artists with one album of two tracks each, one loose track.
void makeLibrary(const std::filesystem::path& location) {
    for (const char* artist : {"Zed", "Abba"}) {
        std::filesystem::create_directories(location / artist / "Album");
        ASSERT_TRUE(writeFile(location / artist / "Album" / "01.mp3", "x"));
        ASSERT_TRUE(writeFile(location / artist / "Album" / "02.mp3", "x"));
    }
    ASSERT_TRUE(writeFile(location / "Abba" / "loose.mp3", "x"));
}

TEST(SessionJoin, NewcomerAndExistingUserSeeTheJoinSequence) {
    ControllerHarness harness;
    makeLibrary(harness.folder() / "music");
    harness.server().setLocation(0, (harness.folder() / "music").string());
    ASSERT_TRUE(harness.start());
    ASSERT_EQ(harness.server().mediaLibrary().artistTotal(), 2);
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    ASSERT_TRUE(harness.queueFakeTrack("/m/a.mp3", 61'000, "First", "Alpha"));
    ASSERT_TRUE(harness.queueFakeTrack("/m/b.mp3", 5'000, "Second", "Beta"));
    harness.server().playlist().setRepeat(1);

    auto anna = harness.connect();
    ASSERT_NE(anna, nullptr);
    ASSERT_TRUE(anna->send(makeJoin("anna")));
    const auto received = anna->receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; });
    ASSERT_TRUE(received.has_value());
    const auto& track0 = harness.server().playlist().entry(0);
    const auto& track1 = harness.server().playlist().entry(1);
    Replies expected{
        {"^AddTrack", "Alpha\\First\\" + track0.length},
        {"^AddTrack", "Beta\\Second\\" + track1.length},
        {"^AddArtist", "Abba"},
        {"^AddArtist", "Zed"},
        {"^ShuffleOff", "Zed"}, // value 1 left from the step before
        {"^RepeatOn", "Zed"},
        {"^CurrentTrackInfo", "First\\Album\\Alpha"},
        {"^TrackNo", "1"},
        {"^Status", "Playing"},
        {"^Volume", "50"},
        {"^NumTracks", "2"},
        {"^Elapsed", "-:--"},
        {"^NumArtists", "2"},
        {"^NumAlbums", std::to_string(harness.server().mediaLibrary().albumTotal())},
        {"^TotalTracks", std::to_string(harness.server().mediaLibrary().trackTotal())}};
    EXPECT_EQ(namesAndPayloads(*received), expected);
    for (const net::CNDKMessage& m : *received) {
        EXPECT_EQ(m.id(), protocol::kIdJoin);
    }

    // bob: the join message as anna sent it, then the status broadcast.
    const auto first = bob->receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, makeJoin("anna"));
    std::vector<net::CNDKMessage> before;
    const auto status = readStatus(*bob, 3000, &before);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(before.empty());
    EXPECT_EQ(status->get("^NumTracks"), "2");
    EXPECT_TRUE(bob->drain(200).empty()) << "the totals go to the newcomer only";

    EXPECT_TRUE(harness.view().logged("* anna joined the server. *"));
    const auto users = harness.view().currentUsers();
    EXPECT_EQ(users.lines, (std::vector<std::string>{"anna", "bob"}));
    EXPECT_EQ(users.selectedIndex, 0) << "the new line is selected";
}

TEST(SessionJoin, SwitchRepliesOfABareJoinHaveNoValueOne) {
    ControllerHarness harness;
    ASSERT_TRUE(harness.start());
    auto anna = harness.connect();
    ASSERT_NE(anna, nullptr);
    ASSERT_TRUE(anna->send(makeJoin("anna")));
    const auto first = anna->receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(textAt(*first, 0), "^ShuffleOff");
    EXPECT_EQ(first->valueCount(), 1);
    const auto second = anna->receive();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(textAt(*second, 0), "^RepeatOff");
    EXPECT_EQ(second->valueCount(), 1);
}

// The newcomer's join replies overflow a tiny send backlog: it is dropped and
// announced once, and the others still get the join's status broadcast.
TEST(SessionJoin, NewcomerDroppedDuringItsJoinIsAnnouncedOnce) {
    net::CNDKHost::Limits limits;
    limits.maxSendBacklog = 600;
    ControllerHarness harness(ControllerHarness::Sound::Fake, limits);
    ASSERT_TRUE(harness.start());
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(harness.queueFakeTrack("/m/" + std::to_string(i) + ".mp3", 1'000,
                                           "A rather long title number " + std::to_string(i)));
    }
    auto bob = harness.connect();
    ASSERT_NE(bob, nullptr);
    auto anna = harness.connect();
    ASSERT_NE(anna, nullptr);
    ASSERT_TRUE(anna->send(makeJoin("anna")));
    EXPECT_TRUE(anna->waitForClose());

    const auto forward = bob->receive();
    ASSERT_TRUE(forward.has_value());
    EXPECT_EQ(*forward, makeJoin("anna"));
    const auto leave = bob->receive();
    ASSERT_TRUE(leave.has_value());
    EXPECT_EQ(leave->id(), protocol::kIdLeave);
    std::vector<net::CNDKMessage> before;
    const auto status = readStatus(*bob, 3000, &before);
    ASSERT_TRUE(status.has_value()) << "the join's status goes to every user";
    EXPECT_TRUE(before.empty());
    EXPECT_EQ(status->get("^NumTracks"), "20");
    for (const net::CNDKMessage& m : bob->drain(300)) {
        EXPECT_NE(m.id(), protocol::kIdLeave) << "announced once";
    }

    const auto& log = harness.view().log;
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "* An error occurred while sending message to anna. The server closed "
                         "the connection. *"),
              1);
    EXPECT_TRUE(harness.server().userNames().empty());
}

// Messages read together with a leave notice are handed on after the user is
// gone: a join among them must not bring the user back or announce it again.
TEST(SessionJoin, JoinReadAfterTheLeaveNoticeIsIgnored) {
    ControllerHarness harness;
    ASSERT_TRUE(harness.start());
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    auto ghost = harness.connect();
    ASSERT_NE(ghost, nullptr);
    ASSERT_TRUE(waitUntil([&] { return harness.server().userCount() == 2; }));

    std::vector<std::uint8_t> bytes;
    net::CNDKArchive::encode(net::CNDKMessage(net::kNdkIdLeaving), bytes);
    net::CNDKArchive::encode(makeJoin("ghost"), bytes);
    net::CNDKArchive::encode(makeCommand("GetAlbums", "2"), bytes);
    ASSERT_TRUE(ghost->sendRaw(bytes));
    EXPECT_TRUE(ghost->waitForClose());

    int leaves = 0;
    for (const net::CNDKMessage& m : bob->drain(300)) {
        EXPECT_NE(m, makeJoin("ghost"));
        leaves += m.id() == protocol::kIdLeave ? 1 : 0;
    }
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(harness.view().logged("* ghost joined the server. *"));
    EXPECT_EQ(harness.view().currentUsers().lines, std::vector<std::string>{"bob"});
    EXPECT_EQ(harness.server().userNames().size(), 1u);
}

// A sender dropped while a command's replies go out is announced once, however
// many replies were still to come.
TEST(SessionCommand, SenderDroppedDuringItsRepliesIsAnnouncedOnce) {
    net::CNDKHost::Limits limits;
    limits.maxSendBacklog = 1'000;
    ControllerHarness harness(ControllerHarness::Sound::Fake, limits);
    const std::filesystem::path music = harness.folder() / "music";
    for (int i = 0; i < 40; ++i) {
        std::filesystem::create_directories(
            music / "Solo" / ("An album with a long name, number " + std::to_string(i)));
    }
    harness.server().setLocation(0, music.string());
    ASSERT_TRUE(harness.start());
    auto bob = harness.join("bob");
    ASSERT_NE(bob, nullptr);
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    (void)bob->drain(100);

    ASSERT_TRUE(anna->send(makeCommand("GetAlbums", "2")));
    EXPECT_TRUE(anna->waitForClose());
    int leaves = 0;
    for (const net::CNDKMessage& m : bob->drain(300)) {
        leaves += m.id() == protocol::kIdLeave ? 1 : 0;
    }
    EXPECT_EQ(leaves, 1);
    const auto& log = harness.view().log;
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) {
                                return line.starts_with("* An error occurred while sending");
                            }),
              1);
}

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness.start());
        bob = harness.join("bob");
        ASSERT_NE(bob, nullptr);
    }

    // Waits for the leave message that tells bob about `name`.
    void expectLeave(const std::string& name) {
        const auto messages = bob->receiveUntil(
            [](const net::CNDKMessage& m) { return m.id() == protocol::kIdLeave; });
        ASSERT_TRUE(messages.has_value()) << "no leave message for " << name;
        EXPECT_EQ(messages->back().valueCount(), 1);
        EXPECT_EQ(textAt(messages->back(), 0), name);
    }

    ControllerHarness harness;
    std::unique_ptr<TestClient> bob;
};

TEST_F(Session, LeavingUserIsAnnouncedLoggedAndRemoved) {
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    ASSERT_TRUE(anna->send(net::CNDKMessage(net::kNdkIdLeaving)));
    expectLeave("anna");
    EXPECT_TRUE(harness.view().logged("* anna left the server. *"));
    EXPECT_EQ(harness.view().currentUsers().lines, std::vector<std::string>{"bob"});
    EXPECT_EQ(harness.view().currentUsers().selectedIndex, 0);
    EXPECT_EQ(harness.server().userNames().count(1), 1u);
    EXPECT_EQ(harness.server().userNames().size(), 1u);
}

TEST_F(Session, DisconnectUserDropsTheSelectedUser) {
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    ASSERT_EQ(harness.view().currentUsers().lines[0], "anna");
    harness.server().selectUserLine(0);
    harness.server().disconnectSelectedUser();
    expectLeave("anna");
    EXPECT_TRUE(harness.view().logged("* The server closed the connection of anna. *"));
    EXPECT_TRUE(anna->waitForClose());
    const auto last = anna->receiveUntil(
        [](const net::CNDKMessage& m) { return m.id() == net::kNdkIdDropped; }, 1000);
    EXPECT_TRUE(last.has_value()) << "the dropped user is told";
}

TEST_F(Session, ClosedConnectionIsAReceiveFailure) {
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    anna->close();
    expectLeave("anna");
    EXPECT_TRUE(harness.view().logged(
        "* An error occurred while receiving message from anna. The server closed the "
        "connection. *"));
    EXPECT_EQ(harness.view().currentUsers().lines, std::vector<std::string>{"bob"});
}

TEST_F(Session, SendToAnUnknownUserIsASendFailure) {
    EXPECT_FALSE(harness.server().dropUser(4242));
    expectLeave("");
    EXPECT_TRUE(harness.view().logged(
        "* An error occurred while sending message to . The server closed the connection. *"));
    EXPECT_EQ(harness.view().currentUsers().lines, std::vector<std::string>{"bob"});
}

TEST_F(Session, UserThatNeverJoinedLeavesWithAnEmptyName) {
    auto silent = harness.connect();
    ASSERT_NE(silent, nullptr);
    ASSERT_TRUE(waitUntil([&] { return harness.server().userCount() == 2; }));
    const std::size_t listChanges = harness.view().userLists.size();
    ASSERT_TRUE(silent->send(net::CNDKMessage(net::kNdkIdLeaving)));
    expectLeave("");
    EXPECT_TRUE(harness.view().logged("*  left the server. *"));
    EXPECT_EQ(harness.view().userLists.size(), listChanges) << "no list change";
}

TEST_F(Session, DuplicateNamesResolveToTheSameUser) {
    auto first = harness.join("anna");
    auto second = harness.join("anna");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const auto users = harness.view().currentUsers();
    ASSERT_EQ(users.lines, (std::vector<std::string>{"anna", "anna", "bob"}));
    harness.server().selectUserLine(0);
    const int viaFirstLine = harness.server().selectedUserId();
    harness.server().selectUserLine(1);
    EXPECT_EQ(harness.server().selectedUserId(), viaFirstLine);
    EXPECT_NE(viaFirstLine, -1);
    harness.server().selectUserLine(-1);
    EXPECT_EQ(harness.server().selectedUserId(), -1);

    harness.server().selectUserLine(1);
    harness.server().disconnectSelectedUser();
    expectLeave("anna");
    EXPECT_TRUE(first->waitForClose()) << "the lower id is the one meant";
    EXPECT_EQ(harness.view().currentUsers().lines, (std::vector<std::string>{"anna", "bob"}));
}

TEST_F(Session, SecondJoinAddsALineAndTheLaterNameIsRemoved) {
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    ASSERT_TRUE(anna->send(makeJoin("carl")));
    ASSERT_TRUE(anna->receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; }));
    EXPECT_EQ(harness.view().currentUsers().lines,
              (std::vector<std::string>{"anna", "bob", "carl"}));
    ASSERT_TRUE(anna->send(net::CNDKMessage(net::kNdkIdLeaving)));
    expectLeave("carl");
    EXPECT_EQ(harness.view().currentUsers().lines, (std::vector<std::string>{"anna", "bob"}));
}

TEST_F(Session, DisconnectAllDropsEveryoneWithoutLeaveMessages) {
    auto anna = harness.join("anna");
    ASSERT_NE(anna, nullptr);
    const std::size_t logLines = harness.view().log.size();
    harness.server().disconnectAllUsers();
    for (TestClient* client : {anna.get(), bob.get()}) {
        EXPECT_TRUE(client->waitForClose());
        for (const net::CNDKMessage& m : client->drain(100)) {
            EXPECT_NE(m.id(), protocol::kIdLeave);
        }
    }
    EXPECT_EQ(harness.view().log.size(), logLines);
    EXPECT_TRUE(harness.server().userNames().empty());
    EXPECT_TRUE(harness.view().currentUsers().lines.empty());
    EXPECT_EQ(harness.view().currentUsers().selectedIndex, -1);
}

TEST_F(Session, TwentyFirstConnectionIsRefused) {
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 1; i < remote::CServerDlg::kMaxUsers; ++i) {
        clients.push_back(harness.connect());
        ASSERT_NE(clients.back(), nullptr);
    }
    ASSERT_TRUE(waitUntil([&] { return harness.server().userCount() == 20; }));
    auto refused = harness.connect();
    ASSERT_NE(refused, nullptr); // TCP accepts; the host closes it at once
    EXPECT_TRUE(refused->waitForClose());
    EXPECT_EQ(harness.server().userCount(), 20);

    ASSERT_TRUE(clients.front()->send(net::CNDKMessage(net::kNdkIdLeaving)));
    ASSERT_TRUE(waitUntil([&] { return harness.server().userCount() == 19; }));
    auto admitted = harness.join("late");
    EXPECT_NE(admitted, nullptr);
}

TEST_F(Session, PingRoundTripIsLogged) {
    bob->setAutoAnswerPings(true);
    const int bobId = harness.server().userNames().begin()->first;
    ASSERT_TRUE(harness.server().pingUser(bobId));
    ASSERT_TRUE(waitUntil(
        [&] {
            (void)bob->drain(10);
            const auto& log = harness.view().log;
            return !log.empty() &&
                   log.back().starts_with("* The ping from the bob is received in ");
        },
        3000));
    EXPECT_TRUE(harness.view().log.back().ends_with(" milliseconds. *"));
}

} // namespace
} // namespace tembrel::test

// Sending: failed sends among several users, unknown ids, the bound on a
// non-reading user's backlog, and order of everything sent in one event.
#include <gtest/gtest.h>

#include "RecordingHost.h"

using namespace tembrel::test;
using namespace tembrel::net;
using Kind = HostEvent::Kind;
using Bytes = std::vector<std::uint8_t>;

namespace {

CNDKMessage bulky(std::string_view name, std::size_t bytes) {
    CNDKMessage m(0);
    m.appendText(name);
    m.putBytes(1, Bytes(bytes, 0x42));
    return m;
}

} // namespace

TEST(HostSend, FailedSendAmongThreeServesTheOthersAndReportsAfterwards) {
    CNDKHost::Limits limits;
    limits.maxSendBacklog = 64 * 1024;
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient a, b, c;
    ASSERT_EQ(host.admit(a, port), 1);
    ASSERT_EQ(host.admit(b, port), 2);
    ASSERT_EQ(host.admit(c, port), 3);
    // In the callback, user 2 is sent a marker: it must arrive after the
    // broadcast, showing the broadcast was queued for everyone before the
    // failure was reported.
    host.onDropped = [&](std::int32_t, DropReason) {
        (void)host.sendToUser(2, CNDKMessage(77));
    };

    // Both sends happen within one turn of the event loop, so user 1's first
    // 40 KiB are still queued when the broadcast would add 40 KiB more.
    ASSERT_TRUE(host.sendToUser(1, bulky("first", 40 * 1024)));
    EXPECT_FALSE(host.sendToAllUsers(bulky("all", 40 * 1024)));

    ASSERT_EQ(host.count(Kind::Dropped), 1u);
    EXPECT_EQ(host.events.back().userId, 1);
    EXPECT_EQ(host.events.back().reason, DropReason::SendFailed);
    EXPECT_EQ(host.events.back().usersAtCall, 2);
    for (TestClient* client : {&b, &c}) {
        const auto got = client->receive();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(textAt(*got, 0), "all");
    }
    const auto marker = b.receive();
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(marker->id(), 77);
    EXPECT_TRUE(a.waitForClose()); // the failed user's connection is reset
}

TEST(HostSend, UnknownIdReportsSendFailedAndChangesNothingElse) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient a;
    ASSERT_EQ(host.admit(a, port), 1);
    EXPECT_FALSE(host.sendToUser(9, makeCommand("x")));
    EXPECT_FALSE(host.dropUser(9));
    EXPECT_FALSE(host.pingUser(9));
    ASSERT_EQ(host.count(Kind::Dropped), 3u);
    for (const HostEvent& e : host.eventsOf(Kind::Dropped)) {
        EXPECT_EQ(e.userId, 9);
        EXPECT_EQ(e.reason, DropReason::SendFailed);
    }
    EXPECT_EQ(host.userCount(), 1);
    EXPECT_TRUE(a.drain(50).empty());
}

TEST(HostSend, SendToAllExceptSkipsOneUser) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient a, b;
    ASSERT_EQ(host.admit(a, port), 1);
    ASSERT_EQ(host.admit(b, port), 2);
    EXPECT_TRUE(host.sendToAllUsersExcept(1, makeCommand("others")));
    const auto got = b.receive();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(textAt(*got, 0), "others");
    EXPECT_TRUE(a.drain(50).empty());
}

TEST(HostSend, MessagesOfOneEventArriveWholeAndInOrder) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient a, b;
    ASSERT_EQ(host.admit(a, port), 1);
    ASSERT_EQ(host.admit(b, port), 2);
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        for (int i = 0; i < 8; ++i) {
            CNDKMessage status(0);
            status.appendText("^Status");
            status.putFourByteB(1, i);
            (void)host.sendToAllUsers(status);
        }
        m.putText(0, "^Reply");
        (void)host.sendToUser(userId, m);
    };
    ASSERT_TRUE(a.send(makeCommand("Status")));
    const auto atA = a.receiveUntil([](const CNDKMessage& m) { return textAt(m, 0) == "^Reply"; });
    ASSERT_TRUE(atA.has_value());
    ASSERT_EQ(atA->size(), 9u);
    for (int i = 0; i < 8; ++i) {
        std::int32_t n = -1;
        (*atA)[static_cast<std::size_t>(i)].readValue(1, n);
        EXPECT_EQ(n, i);
    }
    const auto atB = b.drain();
    ASSERT_EQ(atB.size(), 8u);
    EXPECT_EQ(textAt(atB.back(), 0), "^Status");
}

TEST(HostSend, UserThatNeverReadsIsDroppedWhileOthersKeepBeingServed) {
    CNDKHost::Limits limits;
    limits.maxSendBacklog = 1 << 20;
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient stalled, active;
    ASSERT_EQ(host.admit(stalled, port), 1);
    ASSERT_EQ(host.admit(active, port), 2);
    // Every command of the active user makes the host send 256 KiB to all.
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        (void)host.sendToAllUsers(bulky("^Picture", 256 * 1024));
        m.putText(0, "^Answer");
        (void)host.sendToUser(userId, m);
    };
    // The stalled user's socket buffers fill within a few tens of MiB.
    constexpr int kMaxRounds = 400;
    int rounds = 0;
    for (; rounds < kMaxRounds && !host.lastDropOf(1).has_value(); ++rounds) {
        ASSERT_TRUE(active.send(makeCommand("More")));
        const auto got = active.receiveUntil(
            [](const CNDKMessage& m) { return textAt(m, 0) == "^Answer"; }, 5000);
        ASSERT_TRUE(got.has_value()) << "round " << rounds;
        ASSERT_EQ(got->size(), 2u);
    }
    ASSERT_TRUE(host.lastDropOf(1).has_value()) << rounds << " rounds";
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::SendFailed);
    EXPECT_FALSE(host.lastDropOf(2).has_value());
    EXPECT_EQ(host.userCount(), 1);
    // Still served after the drop.
    ASSERT_TRUE(active.send(makeCommand("Once more")));
    EXPECT_TRUE(active.receiveUntil([](const CNDKMessage& m) { return textAt(m, 0) == "^Answer"; })
                    .has_value());
}

TEST(HostSend, OneMessageLargerThanTheBacklogLimitStillGoesOut) {
    CNDKHost::Limits limits;
    limits.maxSendBacklog = 16 * 1024;
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient a;
    ASSERT_EQ(host.admit(a, port), 1);
    ASSERT_TRUE(host.sendToUser(1, bulky("big", 100 * 1024)));
    const auto got = a.receive();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->value(1).bytes().size(), 100u * 1024);
    EXPECT_EQ(host.count(Kind::Dropped), 0u);
}

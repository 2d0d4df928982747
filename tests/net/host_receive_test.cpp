// Reading users' messages: split and batched arrivals, refused bytes,
// connections that end, half-sent messages, and callbacks that re-enter.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "RecordingHost.h"

using namespace tembrel::test;
using namespace tembrel::net;
using Kind = HostEvent::Kind;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes encoded(const CNDKMessage& m) {
    return CNDKArchive::encode(m);
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// True when an echo sent by `client` comes back: the user is still served.
bool echoes(TestClient& client) {
    CNDKMessage echo(kNdkIdEcho);
    echo.appendText("still here");
    if (!client.send(echo)) {
        return false;
    }
    const auto back = client.receive();
    return back && *back == echo;
}

} // namespace

TEST(HostReceive, MessageSplitIntoSingleBytesIsHandedOnOnceComplete) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);

    CNDKMessage m = makeCommand("PlayAlbumTrack", "5");
    m.putBytes(2, Bytes(40, 0x11));
    const Bytes bytes = encoded(m);
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        ASSERT_TRUE(client.sendRaw(std::span(bytes).subspan(i, 1)));
        pumpEvents(1);
    }
    EXPECT_EQ(host.count(Kind::Message), 0u);
    ASSERT_TRUE(client.sendRaw(std::span(bytes).last(1)));
    ASSERT_TRUE(waitUntil([&] { return host.count(Kind::Message) == 1; }));
    EXPECT_EQ(host.events.back().message, m);
    EXPECT_EQ(host.events.back().userId, 1);
}

TEST(HostReceive, TwoMessagesInOneWriteAreBothReadBeforeEitherIsHandled) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);
    // The first message's handler removes the user; the second was read with
    // it and is handed on all the same.
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        if (textAt(m, 0) == "First") {
            (void)host.dropUser(userId);
        }
    };
    ASSERT_TRUE(
        client.sendRaw(concat(encoded(makeCommand("First")), encoded(makeCommand("Second")))));
    ASSERT_TRUE(waitUntil([&] { return host.count(Kind::Message) == 2; }));
    const auto messages = host.eventsOf(Kind::Message);
    EXPECT_EQ(textAt(messages[0].message, 0), "First");
    EXPECT_EQ(textAt(messages[1].message, 0), "Second");
    EXPECT_EQ(messages[1].usersAtCall, 0);
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::ClosedByServer);
    auto received = client.receive();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->id(), kNdkIdDropped);
    EXPECT_TRUE(client.waitForClose());
}

TEST(HostReceive, RefusedBytesDropOnlyThatUserAndHandOnNothingOfTheBatch) {
    struct Case {
        const char* name;
        Bytes tail;
    };
    const std::vector<Case> cases = {
        {"block of 4 GiB", {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"count of 2^31-1", {0x02, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"text of 2^32-1",
         {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    RecordingHost host;
    const quint16 port = host.start();
    TestClient bystander;
    ASSERT_EQ(host.admit(bystander, port), 1);
    std::int32_t expectedId = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestClient bad;
        ASSERT_EQ(host.admit(bad, port), expectedId);
        // A good message in front of the bad one, in the same write.
        ASSERT_TRUE(bad.sendRaw(concat(encoded(makeCommand("Play")), c.tail)));
        // Refused at once: the declared bytes are never waited for.
        EXPECT_TRUE(bad.waitForClose());
        ASSERT_TRUE(host.lastDropOf(expectedId).has_value());
        EXPECT_EQ(host.lastDropOf(expectedId)->reason, DropReason::ReceiveFailed);
        EXPECT_TRUE(bad.drain(0).empty()); // no drop notice on a failed read
        ++expectedId;
    }
    EXPECT_EQ(host.count(Kind::Message), 0u);
    EXPECT_EQ(host.userCount(), 1);
    EXPECT_TRUE(echoes(bystander));
}

TEST(HostReceive, ConfiguredMessageLimitRefusesLargerMessages) {
    CNDKHost::Limits limits;
    limits.codec.maxMessageBytes = 1024;
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);
    CNDKMessage fits(2);
    fits.putBytes(0, Bytes(1024 - 8 - 5, 1));
    ASSERT_TRUE(client.send(fits));
    ASSERT_TRUE(waitUntil([&] { return host.count(Kind::Message) == 1; }));
    CNDKMessage tooBig(2);
    tooBig.putBytes(0, Bytes(1024 - 8 - 4, 1));
    ASSERT_TRUE(client.send(tooBig));
    EXPECT_TRUE(client.waitForClose());
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::ReceiveFailed);
    EXPECT_EQ(host.count(Kind::Message), 1u);
}

TEST(HostReceive, ClosedConnectionIsNoticedAfterItsLastMessages) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);
    const Bytes partial = encoded(makeCommand("Unfinished"));
    ASSERT_TRUE(client.sendRaw(concat(concat(encoded(makeCommand("A")), encoded(makeCommand("B"))),
                                      Bytes(partial.begin(), partial.end() - 3))));
    client.close();
    ASSERT_TRUE(waitUntil([&] { return host.count(Kind::Dropped) == 1; }));
    ASSERT_EQ(host.events.size(), 4u); // joined, A, B, dropped
    EXPECT_EQ(textAt(host.events[1].message, 0), "A");
    EXPECT_EQ(textAt(host.events[2].message, 0), "B");
    EXPECT_EQ(host.events[3].reason, DropReason::ReceiveFailed);
    EXPECT_EQ(host.userCount(), 0);
}

TEST(HostReceive, ClientThatStopsSendingStillGetsTheAnswersToWhatItSent) {
    RecordingHost host;
    const quint16 port = host.start();
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        m.putText(0, "^Answer");
        (void)host.sendToUser(userId, m);
    };
    // A one-shot client: sends its messages, shuts down its sending
    // direction and reads until the server closes.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_TRUE(waitUntil([&] { return host.userCount() == 1; }));
    CNDKMessage echo(kNdkIdEcho);
    echo.appendText("echo");
    const Bytes request = concat(encoded(echo), encoded(makeCommand("Question")));
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    ASSERT_EQ(::shutdown(fd, SHUT_WR), 0);
    ASSERT_TRUE(waitUntil([&] { return host.count(Kind::Dropped) == 1; }));

    // Everything up to the server's close (bounded by the buffer and time).
    Bytes received(4096);
    std::size_t got = 0;
    while (got < received.size()) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 3000) <= 0) {
            break;
        }
        const ssize_t n = ::recv(fd, received.data() + got, received.size() - got, 0);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    CNDKMessage answer = makeCommand("Question");
    answer.putText(0, "^Answer");
    EXPECT_EQ(Bytes(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(got)),
              concat(encoded(echo), encoded(answer)));
}

TEST(HostReceive, HalfSentMessageTimesOut) {
    CNDKHost::Limits limits;
    limits.partialMessageTimeout = std::chrono::milliseconds(150);
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient slow, steady;
    ASSERT_EQ(host.admit(slow, port), 1);
    ASSERT_EQ(host.admit(steady, port), 2);

    // A message completed in pieces within the limit is fine; so is a
    // connection that stays idle between whole messages.
    const Bytes whole = encoded(makeCommand("Pieces"));
    ASSERT_TRUE(steady.sendRaw(std::span(whole).first(5)));
    pumpEvents(50);
    ASSERT_TRUE(steady.sendRaw(std::span(whole).subspan(5)));
    pumpEvents(300);

    ASSERT_TRUE(slow.sendRaw(std::span(whole).first(whole.size() - 1)));
    EXPECT_TRUE(slow.waitForClose());
    ASSERT_TRUE(host.lastDropOf(1).has_value());
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::ReceiveFailed);
    EXPECT_FALSE(host.lastDropOf(2).has_value());
    EXPECT_EQ(host.count(Kind::Message), 1u);
    EXPECT_TRUE(echoes(steady));
}

TEST(HostReceive, HalfSentMessageTimesOutWhileACallbackRunsTheEventLoop) {
    CNDKHost::Limits limits;
    limits.partialMessageTimeout = std::chrono::milliseconds(100);
    RecordingHost host(limits);
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);
    // The limit runs out while the message in front of the unfinished one is
    // still being handled; nothing more ever arrives.
    host.onMessage = [&](std::int32_t, CNDKMessage&) {
        pumpEvents(300);
    };
    const Bytes unfinished = encoded(makeCommand("Unfinished"));
    ASSERT_TRUE(client.sendRaw(
        concat(encoded(makeCommand("Slow")), Bytes(unfinished.begin(), unfinished.begin() + 5))));
    EXPECT_TRUE(client.waitForClose());
    ASSERT_TRUE(host.lastDropOf(1).has_value());
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::ReceiveFailed);
    EXPECT_EQ(host.count(Kind::Message), 1u);
}

TEST(HostReceive, CallbacksMaySendAndDropFromInside) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient a, b, c;
    ASSERT_EQ(host.admit(a, port), 1);
    ASSERT_EQ(host.admit(b, port), 2);
    ASSERT_EQ(host.admit(c, port), 3);
    // The handler answers, drops another user, and announces departures to
    // the remaining users from inside onUserDropped.
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        m.putText(0, "^Done");
        (void)host.sendToUser(userId, m);
        (void)host.dropUser(2);
    };
    host.onDropped = [&](std::int32_t userId, DropReason) {
        CNDKMessage left(0);
        left.appendText("^Left");
        left.putFourByteB(1, userId);
        (void)host.sendToAllUsers(left);
    };
    ASSERT_TRUE(a.send(makeCommand("Go")));
    auto got = a.receiveUntil([](const CNDKMessage& m) { return textAt(m, 0) == "^Left"; });
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(textAt(got->front(), 0), "^Done");
    auto atC = c.receive();
    ASSERT_TRUE(atC.has_value());
    EXPECT_EQ(textAt(*atC, 0), "^Left");
    auto atB = b.receive();
    ASSERT_TRUE(atB.has_value());
    EXPECT_EQ(atB->id(), kNdkIdDropped);
    EXPECT_TRUE(b.waitForClose());
    EXPECT_EQ(host.userCount(), 2);
}

TEST(HostReceive, CallbackRunningTheEventLoopDoesNotReorderMessages) {
    RecordingHost host;
    const quint16 port = host.start();
    TestClient client;
    ASSERT_EQ(host.admit(client, port), 1);
    std::vector<std::string> handled;
    host.onMessage = [&](std::int32_t, CNDKMessage& m) {
        if (textAt(m, 0) == "First") {
            // The next message arrives while this one is still being handled
            // and the event loop runs (as under a modal dialog).
            ASSERT_TRUE(client.sendRaw(encoded(makeCommand("Second"))));
            pumpEvents(50);
            handled.push_back("First done");
        } else {
            handled.push_back(textAt(m, 0));
        }
    };
    ASSERT_TRUE(client.send(makeCommand("First")));
    EXPECT_TRUE(waitUntil([&] { return handled.size() == 2; }));
    EXPECT_EQ(handled, (std::vector<std::string>{"First done", "Second"}));
}

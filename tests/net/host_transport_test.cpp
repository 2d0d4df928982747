// Users admitted through admitUser() on a transport other than the host's
// TCP listener are users like any other: ids, the user limit, broadcasts
// (encoded once per encoding), drops with their reasons and the stop notices.
#include <gtest/gtest.h>

#include <QTcpServer>

#include "FramedTransport.h"
#include "RecordingHost.h"

using namespace tembrel::test;
using namespace tembrel::net;
using Kind = HostEvent::Kind;

namespace {

// A second front end: accepts connections and hands each to the host as a
// framed user; the ids the host returned, 0 for a refusal. Declared before
// the host: its listener is the Qt parent of the users' sockets.
class FramedFront {
public:
    void serve(CNDKHost& host) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this, &host] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ids.push_back(host.admitUser(std::make_unique<FramedTransport>(socket)));
            }
        });
    }
    [[nodiscard]] quint16 port() const { return server_.serverPort(); }
    // Connects `peer` and waits until the host has answered its admission.
    std::int32_t admit(FramedPeer& peer) {
        const std::size_t before = ids.size();
        if (!peer.connectTo(port()) || !waitUntil([&] { return ids.size() > before; })) {
            return -1;
        }
        return ids.back();
    }
    std::vector<std::int32_t> ids;

private:
    QTcpServer server_;
};

CNDKMessage broadcastOf(const char* text) {
    CNDKMessage m(0);
    m.appendText(text);
    return m;
}

} // namespace

TEST(HostTransport, FramedUsersShareIdsLimitAndBroadcastsWithTcpUsers) {
    FramedFront front;
    RecordingHost host;
    host.maxUsers = 3;
    const quint16 port = host.start();
    front.serve(host);
    TestClient tcp;
    FramedPeer a, b, refused;
    ASSERT_EQ(host.admit(tcp, port), 1);
    EXPECT_EQ(front.admit(a), 2);
    EXPECT_EQ(front.admit(b), 3);
    EXPECT_EQ(front.admit(refused), 0); // the limit holds for every transport
    EXPECT_TRUE(refused.waitForClose());
    EXPECT_EQ(host.refused, 1);

    // A framed user's command reaches the application with its id; the
    // answer goes back in its own encoding.
    host.onMessage = [&](std::int32_t userId, CNDKMessage& m) {
        m.putText(0, "^Answer");
        (void)host.sendToUser(userId, m);
    };
    ASSERT_TRUE(a.send(makeCommand("Question")));
    const auto answer = a.receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(textAt(*answer, 0), "^Answer");
    EXPECT_EQ(host.eventsOf(Kind::Message).back().userId, 2);

    // One broadcast: encoded once for the two framed users.
    const int callsBefore = invertedEncoding().calls;
    EXPECT_TRUE(host.sendToAllUsers(broadcastOf("^Everyone")));
    EXPECT_EQ(invertedEncoding().calls - callsBefore, 1);
    for (FramedPeer* peer : {&a, &b}) {
        const auto got = peer->receive();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(textAt(*got, 0), "^Everyone");
    }
    const auto atTcp = tcp.receive();
    ASSERT_TRUE(atTcp.has_value());
    EXPECT_EQ(textAt(*atTcp, 0), "^Everyone");
}

TEST(HostTransport, FramedUsersAreDroppedAndToldLikeTcpUsers) {
    FramedFront front;
    RecordingHost host;
    ASSERT_NE(host.start(), 0);
    front.serve(host);
    FramedPeer leaver, bad, stays;
    ASSERT_EQ(front.admit(leaver), 1);
    ASSERT_EQ(front.admit(bad), 2);
    ASSERT_EQ(front.admit(stays), 3);

    ASSERT_TRUE(leaver.send(CNDKMessage(kNdkIdLeaving)));
    const auto notice = leaver.receive();
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->id(), kNdkIdDropped);
    EXPECT_TRUE(leaver.waitForClose());
    ASSERT_TRUE(waitUntil([&] { return host.lastDropOf(1).has_value(); }));
    EXPECT_EQ(host.lastDropOf(1)->reason, DropReason::UserLeft);

    // A frame that does not hold a message: dropped, nothing handed on.
    const std::vector<std::uint8_t> garbage{0x01, 0x02, 0x03};
    ASSERT_TRUE(bad.sendFrame(garbage));
    EXPECT_TRUE(bad.waitForClose());
    ASSERT_TRUE(host.lastDropOf(2).has_value());
    EXPECT_EQ(host.lastDropOf(2)->reason, DropReason::ReceiveFailed);
    EXPECT_EQ(host.count(Kind::Message), 0u);

    host.stopHost();
    const auto stopping = stays.receive();
    ASSERT_TRUE(stopping.has_value());
    EXPECT_EQ(stopping->id(), kNdkIdServerStopping);
    const auto dropped = stays.receive();
    ASSERT_TRUE(dropped.has_value());
    EXPECT_EQ(dropped->id(), kNdkIdDropped);
    EXPECT_TRUE(stays.waitForClose());
    EXPECT_FALSE(host.lastDropOf(3).has_value());
}

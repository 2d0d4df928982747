// Admission of connections as numbered users: ids, refusal, restart, and
// listening on both address families.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include "RecordingHost.h"

using namespace tembrel::test;
using namespace tembrel::net;
using Kind = HostEvent::Kind;

TEST(HostAdmission, IdsCountOnAcrossRestart) {
    RecordingHost host;
    EXPECT_FALSE(host.isHosting());
    EXPECT_EQ(host.listeningPort(), -1);
    quint16 port = host.start();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(host.isHosting());
    EXPECT_FALSE(host.startHost(0)); // already listening

    TestClient a, b;
    EXPECT_EQ(host.admit(a, port), 1);
    EXPECT_EQ(host.admit(b, port), 2);
    EXPECT_EQ(host.userCount(), 2);

    host.stopHost();
    EXPECT_EQ(host.userCount(), 0);
    EXPECT_FALSE(host.isHosting());
    EXPECT_EQ(host.listeningPort(), -1);

    port = host.start();
    ASSERT_NE(port, 0);
    TestClient c;
    EXPECT_EQ(host.admit(c, port), 3);
    EXPECT_EQ(host.count(Kind::Dropped), 0u);
}

TEST(HostAdmission, TwentyUsersThenTheNextIsRefusedWithoutUsingAnId) {
    RecordingHost host;
    const quint16 port = host.start();
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 1; i <= 20; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_EQ(host.admit(*clients.back(), port), i);
    }

    TestClient extra;
    ASSERT_TRUE(extra.connectTo(port));
    EXPECT_TRUE(extra.waitForClose());
    EXPECT_TRUE(extra.drain(0).empty()); // closed without any message
    EXPECT_EQ(host.refused, 1);
    EXPECT_EQ(host.userCount(), 20);
    EXPECT_EQ(host.count(Kind::Joined), 20u);
    EXPECT_EQ(host.count(Kind::Dropped), 0u); // a refusal is not reported

    // A user leaves; the next connection gets the next unused id, 21.
    clients.front()->close();
    ASSERT_TRUE(waitUntil([&] { return host.userCount() == 19; }));
    TestClient late;
    EXPECT_EQ(host.admit(late, port), 21);
}

TEST(HostAdmission, StartFailsOnABusyPortAndOnImpossiblePorts) {
    RecordingHost first;
    const quint16 port = first.start();
    ASSERT_NE(port, 0);
    RecordingHost second;
    EXPECT_FALSE(second.startHost(port));
    EXPECT_FALSE(second.isHosting());
    EXPECT_FALSE(second.startHost(-1));
    EXPECT_FALSE(second.startHost(70000));
    EXPECT_TRUE(second.startHost(0));
}

TEST(HostAdmission, AcceptsIpv6Loopback) {
    RecordingHost host;
    const quint16 port = host.start();
    ASSERT_NE(port, 0);
    QTcpSocket v6;
    v6.connectToHost(QHostAddress::LocalHostIPv6, port);
    if (!waitUntil([&] {
            return v6.state() != QAbstractSocket::ConnectingState &&
                   v6.state() != QAbstractSocket::HostLookupState;
        })) {
        FAIL() << "connecting over IPv6 did not finish";
    }
    if (v6.state() != QAbstractSocket::ConnectedState) {
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    }
    EXPECT_TRUE(waitUntil([&] { return host.count(Kind::Joined) == 1; }));
}

TEST(HostAdmission, DestroyingTheHostClosesConnectionsWithoutCallbacks) {
    TestClient a;
    {
        RecordingHost host;
        const quint16 port = host.start();
        ASSERT_EQ(host.admit(a, port), 1);
    }
    auto got = a.receiveUntil([](const CNDKMessage& m) { return m.id() == kNdkIdDropped; });
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->front().id(), kNdkIdServerStopping);
    EXPECT_TRUE(a.waitForClose());
}

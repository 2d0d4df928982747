// Who may connect and where the host listens: peers outside the allowed
// networks are closed before they are admitted (no id used) and logged at
// most once a minute each; so is a connection refused for lack of room; the
// listeners are only where they are told to be; a failed listen says why.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include "net/AddressPolicy.h"
#include "net/RecordingHost.h"

namespace tembrel::test {
namespace {

using net::AddressPolicy;

[[nodiscard]] AddressPolicy only(std::string_view network) {
    return AddressPolicy({*AddressPolicy::parseNetwork(network)});
}

[[nodiscard]] std::size_t linesWith(const std::vector<std::string>& lines, std::string_view a,
                                    std::string_view b) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
        return l.find(a) != std::string::npos && l.find(b) != std::string::npos;
    }));
}

TEST(HostExposure, StrangersAreClosedUnadmittedAndLoggedOnce) {
    RecordingHost host;
    std::vector<std::string> log;
    host.setConnectionLog([&](std::string_view line) { log.emplace_back(line); });
    host.setExposure({{}, only("10.0.0.0/8")});
    const quint16 port = host.start();
    ASSERT_NE(port, 0);

    for (int attempt = 0; attempt < 3; ++attempt) {
        TestClient stranger;
        ASSERT_TRUE(stranger.connectTo(port));
        EXPECT_TRUE(stranger.waitForClose()) << "attempt " << attempt;
    }
    EXPECT_EQ(host.count(HostEvent::Kind::Joined), 0u);
    EXPECT_EQ(host.refused, 0) << "refused before the application is asked";
    EXPECT_EQ(linesWith(log, "127.0.0.1", "not allowed"), 1u) << "one line a minute";

    // Loopback allowed (the dual-stack listener reports the IPv4 peer as an
    // IPv4-mapped IPv6 address, judged as IPv4): the next one is user 1.
    host.setExposure({{}, only("127.0.0.0/8")});
    TestClient friendly;
    EXPECT_EQ(host.admit(friendly, port), 1);
}

TEST(HostExposure, TheDefaultAdmitsLocalNetworksOnly) {
    const AddressPolicy policy = AddressPolicy::localNetworks();
    for (const char* local :
         {"127.0.0.1", "::1", "10.1.2.3", "172.31.0.1", "192.168.7.7", "fd12::1", "169.254.1.1",
          "fe80::1", "100.64.0.1", "100.127.255.254", "::ffff:192.168.1.2"}) {
        EXPECT_TRUE(policy.allows(QHostAddress(QString::fromLatin1(local)))) << local;
    }
    for (const char* stranger :
         {"8.8.8.8", "172.32.0.1", "100.128.0.1", "2001:db8::1", "::ffff:8.8.8.8", "192.169.0.1"}) {
        EXPECT_FALSE(policy.allows(QHostAddress(QString::fromLatin1(stranger)))) << stranger;
    }
    EXPECT_FALSE(AddressPolicy::parseNetwork("10.0.0.0/33"));
    EXPECT_FALSE(AddressPolicy::parseNetwork("localhost"));
}

TEST(HostExposure, TheConnectionBeyondTheLimitIsLogged) {
    RecordingHost host;
    host.maxUsers = 1;
    std::vector<std::string> log;
    host.setConnectionLog([&](std::string_view line) { log.emplace_back(line); });
    const quint16 port = host.start();
    TestClient first;
    ASSERT_EQ(host.admit(first, port), 1);
    TestClient second;
    ASSERT_TRUE(second.connectTo(port));
    EXPECT_TRUE(second.waitForClose());
    EXPECT_EQ(host.refused, 1);
    EXPECT_EQ(linesWith(log, "127.0.0.1", "no room"), 1u);
}

TEST(HostExposure, ListensOnlyOnTheAddressesGiven) {
    RecordingHost host;
    host.setExposure({{QHostAddress(QHostAddress::LocalHost)}, AddressPolicy::localNetworks()});
    const quint16 port = host.start();
    ASSERT_NE(port, 0);
    QTcpSocket v6;
    v6.connectToHost(QHostAddress(QHostAddress::LocalHostIPv6), port);
    EXPECT_FALSE(v6.waitForConnected(1000)) << "nothing listens on ::1";
    TestClient v4;
    EXPECT_EQ(host.admit(v4, port), 1);
}

TEST(HostExposure, AFailedListenSaysWhy) {
    QTcpServer blocker;
    ASSERT_TRUE(blocker.listen(QHostAddress::Any, 0));
    RecordingHost host;
    EXPECT_FALSE(host.startHost(blocker.serverPort()));
    EXPECT_NE(host.listenError().find("address already in use"), std::string::npos)
        << host.listenError();
    EXPECT_FALSE(host.isHosting());
}

} // namespace
} // namespace tembrel::test

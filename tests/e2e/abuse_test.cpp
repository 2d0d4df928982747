// One user's oversized or hostile messages against the real server: nobody
// else is dropped, and the log shows client text escaped and bounded, while a
// monitor user keeps measuring its round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "ServerProcess.h"
#include "protocol/MessageIds.h"
#include "protocol/Messages.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

using Clock = std::chrono::steady_clock;
using protocol::Reply;

constexpr int kAttacks = 4;
constexpr std::size_t kHugeValueBytes = 3 * 1024 * 1024;

// A joined user on the server.
void join(TestClient& client, int port, std::string_view name) {
    ASSERT_TRUE(client.connectTo(static_cast<quint16>(port)));
    ASSERT_TRUE(client.send(protocol::joinMessage(name)));
    (void)client.drain(300);
}

// The monitor's "GetInfo" round trip in milliseconds, or -1 without answer.
long long roundTripMs(TestClient& monitor) {
    const auto start = Clock::now();
    if (!monitor.send(protocol::commandTextMessage("GetInfo"))) {
        return -1;
    }
    const auto volume = monitor.receiveUntil(
        [](const net::CNDKMessage& m) { return protocol::isReply(m, Reply::Volume); }, 10000);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    (void)monitor.drain(50);
    return volume ? ms : -1;
}

TEST(Abuse, OversizedCommandsAndNamesDropNobody) {
    ServerProcess server;
    ASSERT_TRUE(server.ready()) << server.log();
    TestClient monitor;
    join(monitor, server.port(), "monitor");
    TestClient attacker;
    join(attacker, server.port(), "attacker");

    long long worst = 0;
    for (int i = 0; i < kAttacks; ++i) {
        net::CNDKMessage command = protocol::commandTextMessage("Up");
        command.putText(3, std::string(kHugeValueBytes, 'x'));
        ASSERT_TRUE(attacker.send(command));
        const auto refusal = attacker.receiveUntil(
            [](const net::CNDKMessage& m) { return protocol::isReply(m, Reply::Error); }, 10000);
        ASSERT_TRUE(refusal.has_value()) << server.log();
        EXPECT_EQ(protocol::payloadOf(refusal->back()), "Command refused: the message is too long");
        worst = std::max(worst, roundTripMs(monitor));
    }
    EXPECT_GE(worst, 0) << "the monitor was not served";

    // A second user joins under a huge name: the others learn it cut short.
    TestClient bigName;
    ASSERT_TRUE(bigName.connectTo(static_cast<quint16>(server.port())));
    ASSERT_TRUE(bigName.send(protocol::joinMessage(std::string(kHugeValueBytes, 'n'))));
    const auto joined = monitor.receiveUntil(
        [](const net::CNDKMessage& m) { return m.id() == protocol::kIdJoin; }, 10000);
    ASSERT_TRUE(joined.has_value()) << server.log();
    EXPECT_EQ(textAt(joined->back(), 0), std::string(64, 'n'));
    EXPECT_GE(roundTripMs(monitor), 0);
    std::printf("worst monitor round trip under 3 MiB commands: %lld ms\n", worst);

    // Well-formed commands still answer the sender and everyone as before.
    ASSERT_TRUE(attacker.send(protocol::commandTextMessage("Repeat")));
    EXPECT_TRUE(monitor
                    .receiveUntil([](const net::CNDKMessage& m) {
                        return protocol::isReply(m, Reply::RepeatOn);
                    })
                    .has_value());
    for (const std::string_view user : {"monitor.", "attacker."}) {
        EXPECT_FALSE(contains(server.log(), user)) << server.log();
    }
}

TEST(Abuse, ClientTextCannotForgeOrFloodTheLog) {
    ServerProcess server;
    ASSERT_TRUE(server.ready()) << server.log();
    TestClient monitor;
    join(monitor, server.port(), "monitor");
    TestClient forger;
    join(forger, server.port(), "eve\n* admin joined the server. *");
    constexpr int kFlood = 300;
    const std::string argument(3000, 'a');
    std::size_t sent = 0;
    for (int i = 0; i < kFlood; ++i) {
        const auto command = protocol::commandTextMessage("PlayAlbumTrack", argument);
        sent += argument.size();
        ASSERT_TRUE(forger.send(command));
    }
    EXPECT_GE(roundTripMs(monitor), 0);
    forger.close();
    ASSERT_TRUE(waitUntil([&] { return contains(server.log(), "suppressed)"); }, 10000))
        << server.log();
    const std::string log = server.log();
    EXPECT_FALSE(contains(log, "\n* admin joined the server. *")) << log;
    EXPECT_TRUE(contains(log, "eve\\n* admin")) << log;
    EXPECT_TRUE(contains(log, "similar lines from eve\\n")) << log;
    EXPECT_LT(log.size() * 10, sent) << "log bytes per attack byte too high";
    std::printf("log bytes %zu for %zu attack bytes\n", log.size(), sent);
}

} // namespace
} // namespace tembrel::test

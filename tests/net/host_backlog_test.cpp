// A user that stops reading: once its unsent backlog is above the stalled
// level its own messages wait (it cannot make the host answer it faster than
// it reads), and when the backlog has not gone down for the stalled time it
// is dropped with SendFailed, long before the backlog limit, while a user
// that reads is served throughout.
#include <gtest/gtest.h>

#include <chrono>

#include "net/RecordingHost.h"

namespace tembrel::test {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = kKiB * kKiB;

TEST(HostBacklog, AUserThatStopsReadingWaitsAndIsDroppedWhileAReaderIsServed) {
    net::CNDKHost::Limits limits;
    limits.maxSendBacklog = 512 * kMiB; // only the time bound may drop it here
    limits.stalledBacklog = 256 * kKiB;
    limits.stalledTimeout = 1500ms;
    RecordingHost host(limits);
    const quint16 port = host.start();
    ASSERT_NE(port, 0);
    TestClient sleeper;
    TestClient reader;
    const std::int32_t sleeperId = host.admit(sleeper, port);
    const std::int32_t readerId = host.admit(reader, port);
    ASSERT_GT(readerId, 0);

    // More than the system's socket buffers take: the rest stays queued.
    net::CNDKMessage big(7);
    big.appendValue(net::CNDKValue::fromBytes(std::vector<std::uint8_t>(kMiB, 0x5A)));
    constexpr int kBigMessages = 32;
    for (int i = 0; i < kBigMessages; ++i) {
        ASSERT_TRUE(host.sendToUser(sleeperId, big));
    }
    pumpEvents(100);

    net::CNDKMessage note(9);
    note.appendText("hello");
    ASSERT_TRUE(sleeper.send(note));
    ASSERT_TRUE(reader.send(note));
    ASSERT_TRUE(waitUntil([&] {
        const auto messages = host.eventsOf(HostEvent::Kind::Message);
        return std::any_of(messages.begin(), messages.end(),
                           [&](const HostEvent& e) { return e.userId == readerId; });
    }));
    for (const HostEvent& e : host.eventsOf(HostEvent::Kind::Message)) {
        EXPECT_NE(e.userId, sleeperId) << "the sleeper's input waits while its backlog is high";
    }

    ASSERT_TRUE(waitUntil([&] { return host.lastDropOf(sleeperId).has_value(); }, 10'000));
    EXPECT_EQ(host.lastDropOf(sleeperId)->reason, net::DropReason::SendFailed);
    EXPECT_TRUE(sleeper.waitForClose());
    EXPECT_FALSE(host.lastDropOf(readerId).has_value());
    ASSERT_TRUE(host.sendToUser(readerId, note));
    EXPECT_TRUE(reader.receive().has_value());
}

} // namespace
} // namespace tembrel::test

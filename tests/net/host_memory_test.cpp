// Memory a user's traffic can make the host take: a burst of messages that
// are small on the wire but large once decoded must not be held all at once,
// nor kept after it has been handed on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#if defined(__SANITIZE_ADDRESS__)
#define TEMBREL_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEMBREL_TEST_ASAN 1
#endif
#endif

#ifdef TEMBREL_TEST_ASAN
// From the sanitizer runtime (GCC ships no header declaring it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <QHostAddress>
#include <QTcpSocket>

#include "net/CNDKHost.h"
#include "support/TestClient.h"

using namespace tembrel::test;
using namespace tembrel::net;

namespace {

// Bytes the process has allocated and not yet freed.
std::size_t heapInUse() {
#ifdef TEMBREL_TEST_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

// A host that keeps nothing of the messages it is handed, so that what the
// heap holds while they are handed on is the host's own doing.
class MeasuringHost : public CNDKHost {
public:
    int joined = 0;
    int drops = 0;
    std::size_t messages = 0;
    std::size_t peakHeap = 0;
    std::function<void(CNDKMessage&)> onMessage;

    // Starts on a free port and admits `client`; false on failure.
    bool startWith(TestClient& client) {
        return startHost(0) && client.connectTo(static_cast<quint16>(listeningPort())) &&
               waitUntil([&] { return joined == 1; });
    }

protected:
    bool acceptsNewUser() override { return true; }
    void onUserJoined(std::int32_t) override { ++joined; }
    void onUserMessage(std::int32_t, CNDKMessage& message) override {
        ++messages;
        peakHeap = std::max(peakHeap, heapInUse());
        if (onMessage) {
            onMessage(message);
        }
    }
    void onUserDropped(std::int32_t, DropReason) override { ++drops; }
};

// One message with the most values a message may carry, each the smallest a
// value can be on the wire (an empty text: 2 bytes) and far larger decoded.
std::vector<std::uint8_t> manyEmptyTexts() {
    constexpr std::int32_t kId = 2;
    const auto count = static_cast<std::int32_t>(CNDKArchive::Limits{}.maxValueCount);
    std::vector<std::uint8_t> bytes(8);
    std::memcpy(bytes.data(), &kId, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    for (std::int32_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(ValueType::Text));
        bytes.push_back(0);
    }
    return bytes;
}

} // namespace

TEST(HostMemory, BurstIsNotDecodedAllAtOnceNorKeptAfterwards) {
    constexpr int kBurstMessages = 32; // 4 MiB on the wire, about 150 MiB decoded at once
    const std::vector<std::uint8_t> one = manyEmptyTexts();
    std::vector<std::uint8_t> burst;
    burst.reserve(one.size() * kBurstMessages);
    for (int i = 0; i < kBurstMessages; ++i) {
        burst.insert(burst.end(), one.begin(), one.end());
    }

    MeasuringHost host;
    TestClient client;
    ASSERT_TRUE(host.startWith(client));

    // The burst is sent in one go while the host reads it (the client runs
    // the event loop while it waits for the kernel to take more), so the
    // host always has more input waiting than one message.
    const std::size_t baseline = heapInUse();
    host.peakHeap = 0;
    ASSERT_TRUE(client.sendRaw(burst));
    ASSERT_TRUE(waitUntil([&] { return host.messages == kBurstMessages; }, 20000));
    EXPECT_EQ(host.drops, 0);

    // Raw bytes are held a few times over (socket buffer, input buffer); the
    // decoded values of one message are about 5 MiB.
    EXPECT_LT(host.peakHeap - baseline, 32 * kMiB);
    pumpEvents(50);
    const std::size_t after = heapInUse();
    EXPECT_LT(after > baseline ? after - baseline : 0, 8 * kMiB);
}

TEST(HostMemory, LargeMessagesAreNotKeptAfterTheyPassed) {
    MeasuringHost host;
    ASSERT_TRUE(host.startHost(0));
    host.onMessage = [&](CNDKMessage& message) {
        message.putText(0, "^Back");
        (void)host.sendToUser(1, message);
    };
    // A Qt socket as the client: it frees what it has read, so what the heap
    // still holds afterwards is the host's.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(host.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return host.joined == 1; }));

    const std::size_t baseline = heapInUse();
    std::size_t expected = 0;
    {
        // 16 MiB in each direction, within the default limits.
        CNDKMessage big = makeCommand("Big");
        big.putBytes(1, std::vector<std::uint8_t>(16 * kMiB, 0x5A));
        const std::vector<std::uint8_t> bytes = CNDKArchive::encode(big);
        big.putText(0, "^Back");
        expected = CNDKArchive::encodedSize(big);
        ASSERT_EQ(client.write(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<qint64>(bytes.size())),
                  static_cast<qint64>(bytes.size()));
    }
    std::size_t received = 0;
    std::vector<char> chunk(64 * 1024);
    ASSERT_TRUE(waitUntil(
        [&] {
            while (client.bytesAvailable() > 0) {
                received += static_cast<std::size_t>(
                    client.read(chunk.data(), static_cast<qint64>(chunk.size())));
            }
            return received >= expected;
        },
        10000));
    EXPECT_EQ(received, expected);
    EXPECT_EQ(host.messages, 1u);
    pumpEvents(50);
    const std::size_t after = heapInUse();
    EXPECT_LT(after > baseline ? after - baseline : 0, 4 * kMiB);
    EXPECT_EQ(host.drops, 0);
}

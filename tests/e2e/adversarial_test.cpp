// A few seconds of random protocol traffic from several clients against the
// real server: well-formed messages with random ids, commands and values,
// over-long values, truncated and damaged frames, clients that never read and
// random disconnects. Meanwhile a monitor client must keep being served
// within a generous bound, and the server must survive and end cleanly.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ServerProcess.h"
#include "net/UserTransport.h"
#include "protocol/Commands.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kAttackTime = 3s;
constexpr int kAttackers = 4;
constexpr int kMonitorBoundMs = 2000;
constexpr std::size_t kLongValueBytes = 256 * 1024;
constexpr std::size_t kReceiveSlice = 64 * 1024;

// One attacking connection, never blocking: what the system does not take
// at once is lost, which leaves a truncated frame on the wire.
class Attacker {
public:
    explicit Attacker(int port, std::uint32_t seed) : port_(port), random_(seed) {}
    ~Attacker() { disconnect(); }
    Attacker(const Attacker&) = delete;
    Attacker& operator=(const Attacker&) = delete;

    void step() {
        if (fd_ < 0 && !connect()) {
            return;
        }
        std::vector<std::uint8_t> frame = randomFrame();
        const int mutation = pick(20);
        if (mutation == 0 && !frame.empty()) {
            frame.resize(pick(static_cast<int>(frame.size()))); // truncated
        } else if (mutation == 1 && !frame.empty()) {
            frame[pick(static_cast<int>(frame.size()))] ^= static_cast<std::uint8_t>(1 + pick(255));
        } else if (mutation == 2) {
            frame.resize(static_cast<std::size_t>(1 + pick(64)));
            for (auto& b : frame) {
                b = static_cast<std::uint8_t>(pick(256)); // garbage
            }
        }
        if (::send(fd_, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
            errno != EAGAIN && errno != EWOULDBLOCK) {
            disconnect();
            return;
        }
        if (reads_) {
            std::vector<std::uint8_t> sink(kReceiveSlice);
            if (::recv(fd_, sink.data(), sink.size(), MSG_DONTWAIT) == 0) {
                disconnect();
                return;
            }
        }
        if (pick(200) == 0) {
            disconnect(); // comes back at the next step
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, std::max(n, 1) - 1)(random_); }

    bool connect() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 ||
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            disconnect();
            return false;
        }
        reads_ = pick(2) == 0; // half of them never read
        return true;
    }
    void disconnect() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::string randomNumber() {
        static constexpr const char* kOdd[] = {
            "", "-1", "0", "2147483647", "-2147483648", "99999999999", "12abc", " 7", "+3", "0x10"};
        return pick(4) == 0 ? kOdd[pick(std::size(kOdd))] : std::to_string(pick(200) - 20);
    }
    std::string randomText() {
        const std::size_t length = pick(10) == 0
                                       ? kLongValueBytes + static_cast<std::size_t>(pick(4096))
                                       : static_cast<std::size_t>(pick(40));
        std::string text(length, 'a');
        for (char& c : text) {
            c = static_cast<char>(pick(10) == 0 ? pick(256) : 'a' + pick(26));
        }
        return text;
    }
    void appendRandomValue(net::CNDKMessage& message) {
        switch (pick(4)) {
        case 0:
            message.appendText(randomNumber());
            break;
        case 1:
            message.appendText(randomText());
            break;
        case 2:
            message.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteB,
                                                           static_cast<std::int32_t>(random_())));
            break;
        default: {
            const std::string text = randomText();
            message.appendValue(
                net::CNDKValue::fromBytes(std::vector<std::uint8_t>(text.begin(), text.end())));
        }
        }
    }
    std::vector<std::uint8_t> randomFrame() {
        static constexpr std::int32_t kIds[] = {0, 1, 2, 2, 2, 2, 3, -1, -2, -3, -4, -5, 77};
        net::CNDKMessage message(kIds[pick(std::size(kIds))]);
        if (message.id() == 2 || pick(5) == 0) {
            const auto& commands = protocol::kCommands;
            message.appendText(commands[static_cast<std::size_t>(pick(std::size(commands)))].name);
            if (pick(3) != 0) {
                message.appendText(randomNumber());
            }
        } else if (message.id() == 0) {
            message.appendText(randomText());
        }
        for (int extra = pick(3); extra > 0; --extra) {
            appendRandomValue(message);
        }
        std::vector<std::uint8_t> bytes;
        net::wireEncoding().encode(message, bytes);
        return bytes;
    }

    int port_;
    std::mt19937 random_;
    int fd_ = -1;
    bool reads_ = false;
};

TEST(Adversarial, RandomTrafficFromSeveralClientsLeavesTheMonitorServed) {
    ServerProcess server({QStringLiteral("--spectrum"), QStringLiteral("60")});
    ASSERT_TRUE(server.ready()) << server.log();

    TestClient monitor;
    ASSERT_TRUE(monitor.connectTo(static_cast<quint16>(server.port())));
    monitor.setAutoAnswerPings(true);
    net::CNDKMessage join(0);
    join.appendText("monitor");
    ASSERT_TRUE(monitor.send(join));

    const std::uint32_t seed = std::random_device{}();
    std::atomic<bool> attacking{true};
    std::thread attack([&] {
        std::vector<std::unique_ptr<Attacker>> attackers;
        for (int i = 0; i < kAttackers; ++i) {
            attackers.push_back(std::make_unique<Attacker>(server.port(), seed + i));
        }
        while (attacking) {
            for (auto& attacker : attackers) {
                attacker->step();
            }
            std::this_thread::sleep_for(1ms);
        }
    });

    // The monitor's round trip: an echo among the spectrum and status traffic.
    double worstMs = 0;
    int rounds = 0;
    bool served = true;
    const auto end = Clock::now() + kAttackTime;
    while (Clock::now() < end && served) {
        net::CNDKMessage echo(net::kNdkIdEcho);
        echo.appendText(std::to_string(++rounds));
        const auto sent = Clock::now();
        served = monitor.send(echo) && monitor
                                           .receiveUntil(
                                               [&](const net::CNDKMessage& m) {
                                                   return m.id() == net::kNdkIdEcho &&
                                                          textAt(m, 0) == std::to_string(rounds);
                                               },
                                               kMonitorBoundMs)
                                           .has_value();
        worstMs = std::max(worstMs,
                           std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        (void)monitor.drain(0);
    }
    attacking = false;
    attack.join();

    std::cout << "[ figures  ] seed " << seed << ": monitor's worst round trip " << worstMs
              << " ms over " << rounds << " rounds\n";
    EXPECT_TRUE(served) << "round " << rounds << " not answered within " << kMonitorBoundMs
                        << " ms (seed " << seed << ")\n"
                        << server.log();
    EXPECT_TRUE(monitor.isConnected()) << "the monitor was dropped";
    EXPECT_TRUE(server.stop()) << "the server did not survive (seed " << seed << ")\n"
                               << server.log();
}

} // namespace
} // namespace tembrel::test

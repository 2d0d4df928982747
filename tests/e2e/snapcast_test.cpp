// Several rooms through Snapcast: the real server writes its playback into the
// pipe of a real snapserver on loopback, which shows the stream playing while
// the music plays and idle once it stops, and hands it on to snapclient. The
// server plays on while snapserver restarts.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <chrono>
#include <fstream>
#include <iostream>
#include <vector>

#include "ServerProcess.h"
#include "Snapserver.h"

namespace tembrel::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

int occurrences(const std::string& text, std::string_view part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Samples in the file that are not silence.
std::size_t loudSamples(const std::filesystem::path& file) {
    constexpr std::int16_t kLoud = 1000;
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::size_t loud = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<std::int16_t>(
            static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        loud += sample > kLoud || sample < -kLoud ? 1 : 0;
    }
    return loud;
}

class Snapcast : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Snapserver::program()) {
            GTEST_SKIP() << "snapserver is not installed";
        }
        ASSERT_TRUE(server_.ready()) << server_.log();
    }
    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "server log:\n" << server_.log() << "snapserver log:\n" << snap_.log();
        }
    }
    QJsonObject status() {
        const RemoteRun run = server_.remote({"--json", "status"});
        return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    }
    std::function<bool()> streamIs(const std::string& state) {
        return [this, state] {
            return snap_.streamStatus() == state;
        };
    }

    TempDir dir_;
    std::filesystem::path pipe_ = dir_.path() / "snapfifo";
    ServerProcess server_{{"--audio", QString::fromStdString("snapcast:" + pipe_.string())}};
    Snapserver snap_{dir_.path(), pipe_};
};

TEST_F(Snapcast, StreamPlaysWhileTheMusicPlaysAndTheServerOutlivesSnapserverRestarts) {
    ASSERT_TRUE(snap_.start());
    EXPECT_EQ(snap_.streamStatus(), "idle");
    std::unique_ptr<Snapclient> client;
    const auto received = dir_.path() / "client.pcm";
    if (Snapclient::canPlayToFile()) {
        client = std::make_unique<Snapclient>(received, snap_.streamPort());
    }

    for (const char* track : {"01 Polar Morning", "02 Ice Road"}) {
        const RemoteRun queued = server_.remote({"queue", "Aurora Vale", "Northern Lights", track});
        ASSERT_EQ(queued.exitCode, 0) << queued.err;
    }
    ASSERT_TRUE(eventually(streamIs("playing"), 10s));
    if (client) {
        EXPECT_TRUE(eventually([&] { return loudSamples(received) > 48000; }, 10s))
            << "snapclient plays the music";
        EXPECT_TRUE(client->running());
    }

    // snapserver goes away while the music plays, and comes back.
    snap_.stop();
    const int before = status()["position"].toInt();
    EXPECT_TRUE(eventually([&] { return occurrences(server_.log(), "nobody reads") == 1; }, 5s))
        << "said once";
    EXPECT_TRUE(eventually([&] { return status()["position"].toInt() > before; }, 5s))
        << "the music plays on without a reader";
    EXPECT_EQ(status()["state"].toString(), "Playing");
    ASSERT_TRUE(snap_.start());
    ASSERT_TRUE(eventually(streamIs("playing"), 10s)) << "picked up again";
    EXPECT_EQ(occurrences(server_.log(), "a reader opened"), 2);

    const RemoteRun stopped = server_.remote({"stop"});
    ASSERT_EQ(stopped.exitCode, 0) << stopped.err;
    EXPECT_TRUE(eventually(streamIs("idle"), 10s)) << "idle once the music stops";
    EXPECT_EQ(occurrences(server_.log(), "nobody reads"), 1);
}

} // namespace
} // namespace tembrel::test

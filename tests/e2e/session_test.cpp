// How tembrel-remote meets the server's connection limits and endings, and
// the live watch view, against the real server.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include <chrono>
#include <vector>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxUsers = 20;
constexpr auto kWatchWait = std::chrono::seconds(15);

// Reads the process's standard output until `done` holds for what has been
// read, the process ends or the time is up.
template <typename Predicate>
bool readUntil(QProcess& process, std::string& output, Predicate done) {
    const auto deadline = Clock::now() + kWatchWait;
    while (!done(output) && Clock::now() < deadline && process.state() == QProcess::Running) {
        process.waitForReadyRead(200);
        output += process.readAllStandardOutput().toStdString();
    }
    return done(output);
}

TEST(Session, UnreachableServerGivesAClearErrorAndExitStatus) {
    const int port = freePort();
    const RemoteRun run =
        runRemote({"--host", "127.0.0.1", "--port", QString::number(port), "status"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "tembrel-remote: cannot connect to 127.0.0.1:" + std::to_string(port) +
                           ": Connection refused\n");
    EXPECT_EQ(run.out, "");

    const RemoteRun json =
        runRemote({"--json", "--port", QString::number(port), "--host", "127.0.0.1", "artists"});
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_TRUE(contains(json.out, R"("ok":false,"error":"cannot connect to 127.0.0.1:)"))
        << json.out;
}

TEST(Session, UsageErrorsSendNothing) {
    // No server at all: a usage error must be found before connecting.
    const RemoteRun run = runRemote({"--port", QString::number(freePort()), "seek", "forward"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.err, "seek needs")) << run.err;
    EXPECT_EQ(runRemote({"frobnicate"}).exitCode, 2);
    const RemoteRun help = runRemote({"queue", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "--loose ARTIST TRACK")) << help.out;
}

TEST(Session, TwentyFirstUserIsRefused) {
    ServerProcess server;
    ASSERT_TRUE(server.ready()) << server.log();
    std::vector<std::unique_ptr<QTcpSocket>> users;
    for (int i = 0; i < kMaxUsers; ++i) {
        auto user = std::make_unique<QTcpSocket>();
        user->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server.port()));
        ASSERT_TRUE(user->waitForConnected(5000));
        users.push_back(std::move(user));
    }
    const RemoteRun refused = server.remote({"status"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(contains(refused.err, "refused the connection")) << refused.err;

    users.pop_back();
    // The server notices the closed connection and admits the next user.
    RemoteRun admitted;
    for (int attempt = 0; attempt < 50 && admitted.exitCode != 0; ++attempt) {
        admitted = server.remote({"status"});
    }
    EXPECT_EQ(admitted.exitCode, 0) << admitted.err;
}

TEST(Session, WatchShowsStatusAndSpectrumOffAndSaysWhenTheServerStops) {
    ServerProcess server;
    ASSERT_TRUE(server.ready()) << server.log();
    auto watch = startRemote({"--port", QString::number(server.port()), "watch"});
    std::string output;
    EXPECT_TRUE(readUntil(*watch, output, [](const std::string& out) {
        return contains(out, "Stopped") && contains(out, "spectrum off");
    })) << output;

    ASSERT_EQ(server.remote({"queue", "Mira Okon", "Sketches", "01 Charcoal"}).exitCode, 0);
    EXPECT_TRUE(readUntil(*watch, output, [](const std::string& out) {
        return contains(out, "Playing") && contains(out, "Charcoal - Mira Okon");
    })) << output;

    // The server tells its users that it stops; watch says so and waits for
    // it to come back, until it is ended.
    EXPECT_TRUE(server.stop());
    std::string err;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!contains(err, "reconnecting") && std::chrono::steady_clock::now() < deadline) {
        watch->waitForReadyRead(100);
        err += watch->readAllStandardError().toStdString();
    }
    EXPECT_TRUE(contains(err, "lost") && contains(err, "reconnecting")) << err;
    EXPECT_TRUE(contains(err, "is stopping") || contains(err, "closed the connection") ||
                contains(err, "dropped"))
        << err;
    EXPECT_EQ(watch->state(), QProcess::Running);
    const RemoteRun ended = finishRemote(*watch);
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
}

TEST(Session, WatchShowsTheSpectrumWhileItStreams) {
    ServerProcess server({"--spectrum", "30"});
    ASSERT_TRUE(server.ready()) << server.log();
    ASSERT_EQ(server.remote({"queue", "Aurora Vale", "Northern Lights", "03 green sky"}).exitCode,
              0);
    auto watch = startRemote({"--json", "--port", QString::number(server.port()), "watch"});
    std::string output;
    // One JSON line per status broadcast, with the 16 bands while frames arrive.
    EXPECT_TRUE(readUntil(*watch, output, [](const std::string& out) {
        return contains(out, R"("spectrum":[)");
    })) << output;
    const RemoteRun ended = finishRemote(*watch);
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
}

} // namespace
} // namespace tembrel::test

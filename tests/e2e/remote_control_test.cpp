// tembrel-remote setting states rather than toggling them, finding its server
// from the environment, queueing whole albums and artists, and exiting with
// the status scripts rely on, against the real server.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <functional>
#include <string>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

QJsonObject json(const RemoteRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

// Runs tembrel-remote with these environment variables added.
RemoteRun remoteWithEnvironment(const QStringList& arguments,
                                const std::vector<std::pair<QString, QString>>& variables) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("TEMBREL_HOST"));
    environment.remove(QStringLiteral("TEMBREL_PORT"));
    for (const auto& [name, value] : variables) {
        environment.insert(name, value);
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TEMBREL_REMOTE_BINARY), arguments);
    RemoteRun run;
    run.finished = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit;
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = run.finished ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

using RemoteControl = ServerTest;

TEST_F(RemoteControl, VolumeReachesAboutThePercentageAskedFor) {
    for (const int wanted : {80, 20, 100, 37, 0, 50}) {
        const int volume = json(ok({"--json", "vol", QString::number(wanted)}))["volume"].toInt();
        EXPECT_NEAR(volume, wanted, 4) << "vol " << wanted;
    }
    EXPECT_EQ(json(ok({"--json", "vol", "100"}))["volume"].toInt(), 100);
    const int before = json(ok({"--json", "vol", "40"}))["volume"].toInt();
    const int raised = json(ok({"--json", "vol", "+20"}))["volume"].toInt();
    EXPECT_NEAR(raised, before + 20, 4);
    // A small change still moves a step.
    EXPECT_GT(json(ok({"--json", "vol", "+1"}))["volume"].toInt(), raised);
    EXPECT_EQ(json(ok({"--json", "vol", "-100"}))["volume"].toInt(), 0);
    EXPECT_EQ(json(ok({"--json", "vol", "mute"}))["volume"].toInt(), 0);
    EXPECT_NEAR(json(ok({"--json", "vol", "60%"}))["volume"].toInt(), 60, 4);

    for (const char* bad : {"101", "+x", "loud", "-"}) {
        const RemoteRun run = server_.remote({"vol", bad});
        EXPECT_EQ(run.exitCode, 2) << bad;
    }
}

TEST_F(RemoteControl, PlayAndPauseSetTheStateAndToggleSwitchesIt) {
    // Nothing queued: play and toggle have nothing to start.
    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Stopped");
    ok({"queue", "Mira Okon", "Sketches", "01 Charcoal"});
    EXPECT_EQ(json(ok({"--json", "play"}))["state"].toString(), "Playing");
    ok({"seek", "+6"});
    const int position = json(ok({"--json", "status"}))["position"].toInt();
    EXPECT_GE(position, 4);
    // play while playing does not restart the track.
    EXPECT_GE(json(ok({"--json", "play"}))["position"].toInt(), position);

    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Paused");
    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Paused");
    EXPECT_EQ(json(ok({"--json", "play"}))["state"].toString(), "Playing");
    EXPECT_EQ(json(ok({"--json", "toggle"}))["state"].toString(), "Paused");
    EXPECT_EQ(json(ok({"--json", "toggle"}))["state"].toString(), "Playing");
    EXPECT_EQ(json(ok({"--json", "stop"}))["state"].toString(), "Stopped");
    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Stopped");
    EXPECT_EQ(json(ok({"--json", "toggle"}))["state"].toString(), "Playing");
}

TEST_F(RemoteControl, ShuffleAndRepeatOnAndOffSetTheSwitch) {
    for (const char* which : {"shuffle", "repeat"}) {
        EXPECT_TRUE(json(ok({"--json", which, "on"}))[which].toBool()) << which;
        EXPECT_TRUE(json(ok({"--json", which, "on"}))[which].toBool()) << which;
        EXPECT_FALSE(json(ok({"--json", which, "off"}))[which].toBool()) << which;
        EXPECT_FALSE(json(ok({"--json", which, "off"}))[which].toBool()) << which;
        // Without an argument the switch goes over, as before.
        EXPECT_TRUE(json(ok({"--json", which}))[which].toBool()) << which;
        EXPECT_EQ(server_.remote({which, "maybe"}).exitCode, 2) << which;
    }
}

TEST_F(RemoteControl, FindsTheServerFromTheEnvironmentAndTheShortPortOption) {
    const QString port = QString::number(server_.port());
    const QStringList status{"--name", "env", "--json", "status"};
    EXPECT_EQ(remoteWithEnvironment(status, {{"TEMBREL_HOST", "127.0.0.1:" + port}}).exitCode, 0);
    EXPECT_EQ(remoteWithEnvironment(status, {{"TEMBREL_HOST", "[::1]:" + port}}).exitCode, 0);
    EXPECT_EQ(remoteWithEnvironment(status, {{"TEMBREL_HOST", "localhost"}, {"TEMBREL_PORT", port}})
                  .exitCode,
              0);
    // TEMBREL_PORT wins over a port in TEMBREL_HOST, and -p over both.
    const QString unused = QString::number(freePort());
    EXPECT_EQ(remoteWithEnvironment(
                  status, {{"TEMBREL_HOST", "localhost:" + unused}, {"TEMBREL_PORT", port}})
                  .exitCode,
              0);
    EXPECT_EQ(remoteWithEnvironment(QStringList{"-p", port} + status, {{"TEMBREL_PORT", unused}})
                  .exitCode,
              0);
    EXPECT_EQ(remoteWithEnvironment(status, {{"TEMBREL_PORT", unused}}).exitCode, 3);

    const RemoteRun bad = remoteWithEnvironment(status, {{"TEMBREL_PORT", "six"}});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(contains(bad.err, "TEMBREL_PORT")) << bad.err;
    EXPECT_EQ(remoteWithEnvironment(status, {{"TEMBREL_HOST", "localhost:99999"}}).exitCode, 2);
}

TEST_F(RemoteControl, RawAndSeekExitStatus) {
    EXPECT_EQ(server_.remote({"raw", "GetInfo"}).exitCode, 0);
    const RemoteRun unknown = server_.remote({"raw", "getinfo"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(contains(unknown.err, "getinfo")) << unknown.err;
    // The artist's number 2 is the first artist; an album number beyond its
    // albums is refused with ^Error.
    const RemoteRun refused = server_.remote({"raw", "PlayAlbumTrack", "900"});
    EXPECT_EQ(refused.exitCode, 1) << refused.out;
    EXPECT_TRUE(contains(refused.out, "^Error")) << refused.out;

    // Every form of seek fails alike while nothing plays.
    for (const char* where : {"+10", "-4", "50"}) {
        const RemoteRun seek = server_.remote({"seek", where});
        EXPECT_EQ(seek.exitCode, 1) << where;
        EXPECT_TRUE(contains(seek.err, "nothing is playing")) << seek.err;
    }
}

TEST_F(RemoteControl, QueuesAWholeAlbumOrAllOfAnArtistsTracks) {
    const QJsonObject album = json(ok({"--json", "queue", "aurora vale", "northern lights"}));
    EXPECT_TRUE(album["ok"].toBool());
    EXPECT_EQ(album["added"].toInt(), 3);
    EXPECT_EQ(album["playlistLength"].toInt(), 3);

    const RemoteRun artist = ok({"queue", "Aurora Vale"});
    // Its albums as the listing orders them, each in track order, then the
    // loose track.
    QStringList expected;
    const QJsonObject albums = json(ok({"--json", "albums", "Aurora Vale"}));
    for (const auto& listed : albums["albums"].toArray()) {
        const QJsonObject tracks =
            json(ok({"--json", "tracks", "Aurora Vale", listed.toObject()["name"].toString()}));
        for (const auto& track : tracks["tracks"].toArray()) {
            expected << track.toObject()["name"].toString().section(' ', 1).section('.', 0, 0);
        }
    }
    expected << "Lighthouse";
    const QJsonObject playlist = json(ok({"--json", "playlist"}));
    const QJsonArray entries = playlist["entries"].toArray();
    ASSERT_EQ(entries.size(), 3 + 3 + 2 + 1) << artist.out;
    QStringList titles;
    for (const auto& entry : entries) {
        titles << entry.toObject()["title"].toString();
    }
    EXPECT_EQ(titles.mid(3), expected) << titles.join(", ").toStdString();
}

using Clock = std::chrono::steady_clock;

// Reads what a running process prints until `done` holds or time runs out.
bool readUntil(QProcess& process, std::string& out, std::string& err,
               const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput().toStdString();
        err += process.readAllStandardError().toStdString();
    }
    return true;
}

TEST_F(RemoteControl, WatchJoinsAgainWhenTheServerRestarts) {
    auto watch =
        startRemote({"--port", QString::number(server_.port()), "--name", "watcher", "watch"});
    std::string out;
    std::string err;
    const auto lines = [&] {
        return std::count(out.begin(), out.end(), '\n');
    };
    ASSERT_TRUE(readUntil(
        *watch, out, err, [&] { return lines() >= 1; }, std::chrono::seconds(10)))
        << err;

    ASSERT_TRUE(server_.restart()) << server_.log();
    ASSERT_TRUE(readUntil(
        *watch, out, err, [&] { return contains(err, "Reconnected to"); },
        std::chrono::seconds(20)))
        << err;
    EXPECT_TRUE(contains(err, "lost") && contains(err, "reconnecting")) << err;
    // The status keeps coming from the new server.
    const auto before = lines();
    ok({"queue", "Mira Okon", "Sketches", "01 Charcoal"});
    EXPECT_TRUE(readUntil(
        *watch, out, err, [&] { return lines() > before && contains(out, "Charcoal"); },
        std::chrono::seconds(10)))
        << out;
    const RemoteRun ended = finishRemote(*watch);
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
}

// The watch command in a real terminal (a pseudo-terminal of 40 x 14), its
// keys typed as a user would.
class WatchTerminal {
public:
    explicit WatchTerminal(int port) {
        winsize size{};
        size.ws_row = 14;
        size.ws_col = 40;
        pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            const std::string portText = std::to_string(port);
            ::execl(TEMBREL_REMOTE_BINARY, "tembrel-remote", "--port", portText.c_str(), "--name",
                    "keys", "watch", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~WatchTerminal() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    WatchTerminal(const WatchTerminal&) = delete;
    WatchTerminal& operator=(const WatchTerminal&) = delete;

    [[nodiscard]] bool started() const noexcept { return pid_ > 0; }
    void type(char key) const { (void)::write(master_, &key, 1); }
    // Reads the screen until `text` shows up.
    bool waitFor(std::string_view text, std::chrono::seconds limit = std::chrono::seconds(10)) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            pollfd ready{master_, POLLIN, 0};
            if (::poll(&ready, 1, 100) > 0) {
                char buffer[4096];
                const ssize_t got = ::read(master_, buffer, sizeof buffer);
                if (got > 0) {
                    screen_.append(buffer, static_cast<std::size_t>(got));
                }
            }
            if (screen_.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    void drain() {
        pollfd ready{master_, POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0 &&
               ::read(master_, buffer, sizeof buffer) > 0) {
        }
    }
    // The exit status once it has ended by itself, or -1.
    int waitForExit(std::chrono::seconds limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            drain(); // a terminal nobody reads would block the writer
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string screen_;
};

TEST_F(RemoteControl, WatchKeysPauseSkipChangeTheVolumeAndQuit) {
    ok({"queue", "Mira Okon", "Sketches"});
    WatchTerminal watch(server_.port());
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.waitFor("Playing"));
    ASSERT_TRUE(watch.waitFor("q quit"));

    const auto state = [&] {
        return json(ok({"--json", "status"}));
    };
    const auto until = [&](const std::function<bool(const QJsonObject&)>& wanted) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            if (wanted(state())) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };

    watch.type(' ');
    EXPECT_TRUE(until([](const QJsonObject& s) { return s["state"].toString() == "Paused"; }));
    watch.type(' ');
    EXPECT_TRUE(until([](const QJsonObject& s) { return s["state"].toString() == "Playing"; }));
    watch.type('n');
    EXPECT_TRUE(until([](const QJsonObject& s) { return s["number"].toInt() == 2; }));
    watch.type('p');
    EXPECT_TRUE(until([](const QJsonObject& s) { return s["number"].toInt() == 1; }));
    const int volume = state()["volume"].toInt();
    watch.type('+');
    EXPECT_TRUE(until([&](const QJsonObject& s) { return s["volume"].toInt() > volume; }));
    watch.type('-');
    EXPECT_TRUE(until([&](const QJsonObject& s) { return s["volume"].toInt() == volume; }));

    watch.type('q');
    EXPECT_EQ(watch.waitForExit(std::chrono::seconds(10)), 0);
}

} // namespace
} // namespace tembrel::test

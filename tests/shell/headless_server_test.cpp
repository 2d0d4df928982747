// The tembrel-server binary run headless as a child process: flags, start-up
// on a given port with given Locations, a client session, SIGHUP rescanning
// and SIGTERM ending cleanly with the exit settings stored, and the form of
// its log lines.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>

#include <csignal>
#include <filesystem>

#include "shell/SettingsStore.h"
#include "support/AudioFixtures.h"
#include "support/LogLines.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

constexpr int kWaitMs = 10'000;

[[nodiscard]] quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0)) {
        return 0;
    }
    return probe.serverPort();
}

// A running server process whose standard output is collected line by line,
// each line as its message (without the time and level in front).
class ServerProcess {
public:
    // `journal`: run as systemd runs a service that logs to the journal.
    explicit ServerProcess(const QStringList& args, bool journal = false) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.remove("JOURNAL_STREAM");
        if (journal) {
            env.insert("JOURNAL_STREAM", "8:12345");
        }
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(TEMBREL_SERVER_BINARY, args);
    }
    ~ServerProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }

    // Waits until `line` has been printed after line `from`; its index, or -1.
    int waitForLine(const std::string& line, int from = 0) {
        return waitForLineWith([&](const std::string& l) { return l == line; }, from);
    }
    template <typename Pred>
    int waitForLineWith(Pred pred, int from = 0) {
        const bool found = waitUntil(
            [&] {
                read();
                return indexOf(pred, from) >= 0;
            },
            kWaitMs);
        return found ? indexOf(pred, from) : -1;
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    [[nodiscard]] QProcess& process() { return process_; }
    [[nodiscard]] const std::vector<std::string>& lines() {
        read();
        return lines_;
    }
    // The lines as written, prefixes included.
    [[nodiscard]] const std::vector<std::string>& rawLines() {
        read();
        return rawLines_;
    }

private:
    template <typename Pred>
    int indexOf(Pred pred, int from) const {
        for (std::size_t i = static_cast<std::size_t>(from); i < lines_.size(); ++i) {
            if (pred(lines_[i])) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void read() {
        process_.waitForReadyRead(5);
        pending_ += process_.readAllStandardOutput().toStdString();
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            const std::string line = pending_.substr(0, end);
            const auto parsed = timedLogLine(line);
            lines_.emplace_back(parsed ? parsed->message : line);
            rawLines_.push_back(line);
            pending_.erase(0, end + 1);
        }
    }

    QProcess process_;
    std::string pending_;
    std::vector<std::string> lines_;
    std::vector<std::string> rawLines_;
};

[[nodiscard]] std::vector<std::string> splitLines(const QByteArray& text) {
    std::vector<std::string> lines;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty()) {
            lines.push_back(line.toStdString());
        }
    }
    return lines;
}

[[nodiscard]] std::vector<std::string> joinAndListArtists(TestClient& client) {
    net::CNDKMessage join(0);
    join.appendText("anna");
    EXPECT_TRUE(client.send(join));
    std::vector<std::string> artists;
    const auto received = client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; }, kWaitMs);
    EXPECT_TRUE(received.has_value());
    for (const net::CNDKMessage& m : received.value_or(std::vector<net::CNDKMessage>{})) {
        if (textAt(m, 0) == "^AddArtist") {
            artists.push_back(textAt(m, 1));
        }
    }
    return artists;
}

TEST(HeadlessServer, ServesClientsRescansOnHangupAndStoresSettingsOnTerminate) {
    TempDir temp;
    const auto music = temp.path() / "music";
    std::filesystem::create_directories(music / "Beatrix" / "First");
    const auto settings = temp.path() / "settings.ini";
    const quint16 port = freePort();
    ASSERT_NE(port, 0);

    ServerProcess server({"--headless", "--port", QString::number(port), "--settings",
                          QString::fromStdString(settings.string()), "--audio", "null",
                          "--location", QString::fromStdString(music.string()), "--upload-dir",
                          QString::fromStdString((temp.path() / "up").string()), "--spectrum",
                          "15"});
    ASSERT_TRUE(server.process().waitForStarted(kWaitMs));
    const int started = server.waitForLine("* The server is started. *");
    ASSERT_GE(started, 0);
    ASSERT_GE(server.waitForLine("Start FMOD", started), 0);
    const std::string scanned = "Location " + music.string() + ": ";
    const int firstScan = server.waitForLine(scanned + "1 artist, 1 album, 0 tracks", started);
    ASSERT_GE(firstScan, 0);
    EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "up")) << "upload folder created";

    TestClient anna;
    ASSERT_TRUE(anna.connectTo(port));
    EXPECT_EQ(joinAndListArtists(anna), std::vector<std::string>{"Beatrix"});
    ASSERT_TRUE(anna.send(makeCommand("Up")));
    const auto volume = anna.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^Volume"; }, kWaitMs);
    ASSERT_TRUE(volume.has_value());
    EXPECT_EQ(textAt(volume->back(), 1), "56");

    // SIGHUP: a rescan while anna stays connected; the new library is what
    // the next user gets.
    std::filesystem::create_directories(music / "Alfred" / "Second");
    server.signal(SIGHUP);
    ASSERT_GE(server.waitForLine(scanned + "2 artists, 2 albums, 0 tracks", firstScan), 0);
    EXPECT_TRUE(anna.isConnected());
    TestClient bob;
    ASSERT_TRUE(bob.connectTo(port));
    EXPECT_EQ(joinAndListArtists(bob), (std::vector<std::string>{"Alfred", "Beatrix"}));

    server.signal(SIGTERM);
    ASSERT_TRUE(server.process().waitForFinished(kWaitMs));
    EXPECT_EQ(server.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.process().exitCode(), 0);
    EXPECT_TRUE(bob.waitForClose(kWaitMs));
    EXPECT_TRUE(anna.waitForClose(kWaitMs));

    const shell::LoadedSettings stored = shell::SettingsStore(settings).load();
    EXPECT_EQ(stored.volume, 144);
    EXPECT_EQ(stored.dspCode, 2);
}

TEST(HeadlessServer, InterruptAlsoEndsCleanly) {
    TempDir temp;
    const quint16 port = freePort();
    ServerProcess server({"--headless", "--port", QString::number(port), "--settings",
                          QString::fromStdString((temp.path() / "s.ini").string()), "--audio",
                          "null", "--upload-dir",
                          QString::fromStdString((temp.path() / "up").string())});
    ASSERT_GE(server.waitForLine("Start FMOD"), 0);
    server.signal(SIGINT);
    ASSERT_TRUE(server.process().waitForFinished(kWaitMs));
    EXPECT_EQ(server.process().exitCode(), 0);
    const shell::LoadedSettings stored = shell::SettingsStore(temp.path() / "s.ini").load();
    EXPECT_EQ(stored.volume, 128);
    EXPECT_EQ(stored.dspCode, 1);
    EXPECT_EQ(stored.portText, "6000") << "the port flag is not stored";
}

// Also the form of the log: time and level on every line, errors on standard
// error, and the journal's level prefixes instead when run by systemd.
TEST(HeadlessServer, TakenPortIsReportedWithItsReasonAndEndsWithAFailure) {
    TempDir temp;
    QTcpServer blocker;
    ASSERT_TRUE(blocker.listen(QHostAddress::Any, 0));
    const QStringList args{"--headless",
                           "--port",
                           QString::number(blocker.serverPort()),
                           "--settings",
                           QString::fromStdString((temp.path() / "s.ini").string()),
                           "--audio",
                           "null",
                           "--upload-dir",
                           QString::fromStdString((temp.path() / "up").string())};
    ServerProcess server(args);
    // A service manager must see the failure: the process ends by itself.
    ASSERT_TRUE(server.process().waitForFinished(kWaitMs));
    EXPECT_EQ(server.process().exitStatus(), QProcess::NormalExit);
    EXPECT_NE(server.process().exitCode(), 0);

    const std::vector<std::string>& out = server.rawLines();
    ASSERT_FALSE(out.empty());
    for (const std::string& line : out) {
        const auto parsed = timedLogLine(line);
        ASSERT_TRUE(parsed) << "no time and level: " << line;
        EXPECT_NE(parsed->level, "error") << "an error on standard output: " << line;
    }
    EXPECT_EQ(timedLogLine(out.front())->level, "info");
    EXPECT_EQ(timedLogLine(out.front())->message, "Start Listening");

    const std::vector<std::string> err = splitLines(server.process().readAllStandardError());
    ASSERT_EQ(err.size(), 2u) << server.process().readAllStandardError().toStdString();
    const auto notice = timedLogLine(err[0]);
    const auto reason = timedLogLine(err[1]);
    ASSERT_TRUE(notice && reason) << err[0] << "\n" << err[1];
    EXPECT_EQ(notice->level, "error");
    EXPECT_EQ(notice->message, "Tembrel Server: Cannot start the server.");
    EXPECT_EQ(reason->level, "error");
    EXPECT_TRUE(reason->message.starts_with("Cannot start the server: ")) << err[1];
    EXPECT_NE(reason->message.find("address already in use"), std::string::npos) << err[1];

    ServerProcess journaled(args, true);
    ASSERT_TRUE(journaled.process().waitForFinished(kWaitMs));
    EXPECT_EQ(journaled.rawLines().front(), "<6>Start Listening");
    const std::vector<std::string> journalErr =
        splitLines(journaled.process().readAllStandardError());
    ASSERT_FALSE(journalErr.empty());
    EXPECT_EQ(journalErr.front(), "<3>Tembrel Server: Cannot start the server.");
}

TEST(HeadlessServer, VersionHelpAndBadFlags) {
    QProcess version;
    version.start(TEMBREL_SERVER_BINARY, {"--version"});
    ASSERT_TRUE(version.waitForFinished(kWaitMs));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_EQ(version.readAllStandardOutput().toStdString(), "Tembrel Server Version 0.9b\n");

    QProcess help;
    help.start(TEMBREL_SERVER_BINARY, {"--help"});
    ASSERT_TRUE(help.waitForFinished(kWaitMs));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--upload-dir"));

    QProcess bad;
    bad.start(TEMBREL_SERVER_BINARY, {"--headless", "--port", "many"});
    ASSERT_TRUE(bad.waitForFinished(kWaitMs));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("--port"));
    EXPECT_TRUE(bad.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace tembrel::test

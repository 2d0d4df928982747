// The real tembrel-server as a child process on a free loopback port, and the
// real tembrel-remote run against it, for the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>

#include "support/AudioFixtures.h"

namespace tembrel::test {

// What one tembrel-remote run printed and returned.
struct RemoteRun {
    int exitCode = -1;
    std::string out, err;
    bool finished = false;
};

class ServerProcess {
public:
    // Starts the server headless with silent audio on the demo library, with
    // settings and uploads in a fresh temporary folder; `extra` adds flags.
    explicit ServerProcess(const QStringList& extra = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // True once the server accepts connections.
    [[nodiscard]] bool ready() const noexcept { return ready_; }
    [[nodiscard]] int port() const noexcept { return port_; }
    // The server's process id (its main thread has the same id).
    [[nodiscard]] qint64 pid() const { return process_->processId(); }
    [[nodiscard]] std::filesystem::path uploadDir() const { return dir_.path() / "uploads"; }
    // Stops the server with SIGTERM, as a service manager does.
    [[nodiscard]] bool stop();
    // Sends a signal (SIGHUP: rescan) to the server.
    [[nodiscard]] bool signal(int number) const;
    // Starts it again after stop(), on the same port with the same folders
    // and settings; true once it accepts connections.
    [[nodiscard]] bool start();
    // stop() and start().
    [[nodiscard]] bool restart();
    [[nodiscard]] std::filesystem::path settingsFile() const {
        return dir_.path() / "settings.ini";
    }
    // Everything the server wrote so far (its log), each line without the
    // time and level in front.
    [[nodiscard]] std::string log();

    // Runs tembrel-remote --port <port> --name e2e <arguments>.
    [[nodiscard]] RemoteRun remote(const QStringList& arguments, int timeoutMs = 30000) const;

private:
    TempDir dir_;
    QStringList arguments_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    bool ready_ = false;
};

// A test with its own server on the demo library; prints the server's log
// when the test fails.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs the client and expects it to succeed.
    RemoteRun ok(const QStringList& arguments);

    ServerProcess server_;
};

[[nodiscard]] inline bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// The demo library shipped with the project.
[[nodiscard]] std::filesystem::path demoLibrary();
// A TCP port on loopback that nothing listens on right now.
[[nodiscard]] int freePort();
// Runs tembrel-remote with exactly these arguments.
[[nodiscard]] RemoteRun runRemote(const QStringList& arguments, int timeoutMs = 30000);
// Starts tembrel-remote without waiting (for watch); the caller ends it.
[[nodiscard]] std::unique_ptr<QProcess> startRemote(const QStringList& arguments);
// Ends a started remote with SIGTERM (like Ctrl-C) and collects its output.
[[nodiscard]] RemoteRun finishRemote(QProcess& process, int timeoutMs = 10000);

} // namespace tembrel::test

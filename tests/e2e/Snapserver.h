// Debian's snapserver as a child process on free loopback ports, reading one
// named pipe, and a small client of its JSON-RPC control interface; and
// snapclient writing what it plays into a file.
#pragma once

#include <QProcess>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tembrel::test {

class Snapserver {
public:
    // The stream Snapcast shows for the pipe.
    static constexpr const char* kStreamName = "Tembrel";

    // Keeps its settings and log in `dir`; reads `pipe`.
    Snapserver(std::filesystem::path dir, std::filesystem::path pipe);
    ~Snapserver();
    Snapserver(const Snapserver&) = delete;
    Snapserver& operator=(const Snapserver&) = delete;

    // The installed program, or nothing.
    [[nodiscard]] static std::optional<std::string> program();

    // Starts it (on the same ports every time) and waits until its control
    // port answers.
    [[nodiscard]] bool start();
    // Ends it with SIGTERM, as a service manager does.
    void stop();
    // "idle" or "playing", from Server.GetStatus; nothing when it cannot be asked.
    [[nodiscard]] std::optional<std::string> streamStatus() const;
    [[nodiscard]] int streamPort() const noexcept { return streamPort_; }
    [[nodiscard]] std::string log() const;

private:
    std::filesystem::path dir_, pipe_;
    int streamPort_, controlPort_;
    std::unique_ptr<QProcess> process_;
};

// snapclient connected to a snapserver, playing into a file.
class Snapclient {
public:
    Snapclient(const std::filesystem::path& output, int streamPort);
    ~Snapclient();
    Snapclient(const Snapclient&) = delete;
    Snapclient& operator=(const Snapclient&) = delete;

    // Whether this snapclient can play into a file.
    [[nodiscard]] static bool canPlayToFile();
    [[nodiscard]] bool running() const;

private:
    std::unique_ptr<QProcess> process_;
};

} // namespace tembrel::test

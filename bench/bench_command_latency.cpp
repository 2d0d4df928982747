// End-to-end figures of the server binary on loopback: start-up time to the
// first reply, the round trip of a command to the volume reply of the status
// broadcast that follows it with 20 joined clients (against the echo round
// trip, measured in the same rounds, as the floor), and the server's CPU use
// while idle with 20 clients. Prints each figure against its target.
//
// Usage: bench_command_latency [path/to/tembrel-server] [commands] [clients]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connection/BlockingConnection.h"
#include "net/CNDKMessage.h"
#include "protocol/Messages.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tembrel::client::BlockingConnection;
using tembrel::net::CNDKMessage;

constexpr int kDefaultClients = 20;
constexpr int kDefaultCommands = 10'000;
constexpr int kWarmup = 500;
constexpr int kIdleSeconds = 10;
constexpr int kWaitMs = 5'000;
constexpr std::chrono::milliseconds kWait{kWaitMs};

// Targets the figures are held against.
constexpr double kMaxRatioToEcho = 1.5;
constexpr double kMaxCommandP99Us = 200.0;
constexpr double kMaxIdleCpuPercent = 0.5;
constexpr double kMaxStartupMs = 100.0;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_command_latency: %s\n", what.c_str());
    std::exit(1);
}

[[nodiscard]] int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        fail("no free port");
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

void send(BlockingConnection& client, const CNDKMessage& message) {
    if (!client.send(message)) {
        fail("send failed");
    }
}

[[nodiscard]] std::string textAt(const CNDKMessage& message, int index) {
    std::string text;
    message.readValue(index, text);
    return text;
}

using Clients = std::vector<std::unique_ptr<BlockingConnection>>;

[[nodiscard]] bool endsBroadcast(const CNDKMessage& message) {
    std::string name;
    message.readValue(0, name);
    return name == "^Elapsed";
}

// Reads only `target` until a message matching `pred` has arrived; what the
// other clients receive meanwhile waits in their sockets. With `ends`, counts
// the status broadcasts read to their end on the way.
void waitFor(BlockingConnection& target, const std::function<bool(const CNDKMessage&)>& pred,
             long* ends = nullptr) {
    CNDKMessage message;
    for (;;) {
        switch (target.poll(message, kWait)) {
        case BlockingConnection::Wait::Message:
            if (ends != nullptr && endsBroadcast(message)) {
                ++*ends;
            }
            if (pred(message)) {
                return;
            }
            break;
        case BlockingConnection::Wait::Idle:
            fail("timed out waiting for the server");
        case BlockingConnection::Wait::Failed:
            fail("the server closed a connection");
        }
    }
}

[[nodiscard]] bool isEcho(const CNDKMessage& message) {
    return message.id() == tembrel::net::kNdkIdEcho;
}

// Empties the client's stream of everything the server queued for it before
// handling what the client sent last: sends an echo and reads up to its
// answer (the server handles a user's messages, and queues its replies, in
// order).
void drain(BlockingConnection& client) {
    CNDKMessage mark(tembrel::net::kNdkIdEcho);
    mark.appendText("mark");
    send(client, mark);
    waitFor(client, isEcho);
}

// Lets every client read as many status broadcasts to their end as the probe
// has (every user gets every broadcast), so nothing is left over for the next
// round. Counting, rather than reading up to the next broadcast end, keeps a
// periodic status push that slipped in from making a client fall one
// broadcast behind for the rest of the run.
void catchUp(Clients& clients, std::vector<long>& ends, std::size_t probe) {
    for (std::size_t i = 0; i < clients.size(); ++i) {
        while (i != probe && ends[i] < ends[probe]) {
            waitFor(*clients[i], endsBroadcast, &ends[i]);
        }
    }
}

// Reads and discards everything for `seconds`.
void idle(Clients& clients, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    std::vector<pollfd> fds;
    for (const auto& client : clients) {
        fds.push_back({client->fd(), POLLIN, 0});
    }
    while (Clock::now() < end) {
        ::poll(fds.data(), fds.size(), 100);
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0) {
                if (clients[i]->readAvailable(std::chrono::milliseconds(0)) ==
                    BlockingConnection::Wait::Failed) {
                    fail("the server closed a connection while idle");
                }
                CNDKMessage message;
                while (clients[i]->takeBuffered(message)) {
                }
            }
        }
    }
}

// CPU time of every thread of `pid`, in nanoseconds.
[[nodiscard]] std::uint64_t cpuNanoseconds(pid_t pid) {
    std::uint64_t total = 0;
    const auto tasks = std::filesystem::path("/proc") / std::to_string(pid) / "task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "schedstat");
        std::uint64_t runNs = 0;
        if (stat >> runNs) {
            total += runNs;
        }
    }
    return total;
}

struct Figures {
    double p50 = 0;
    double p99 = 0;
    double mean = 0;
};

[[nodiscard]] Figures summarise(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    Figures f;
    f.p50 = micros[micros.size() / 2];
    f.p99 = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    double sum = 0;
    for (const double m : micros) {
        sum += m;
    }
    f.mean = sum / static_cast<double>(micros.size());
    return f;
}

// The machine's load, since other work on it skews every figure above.
[[nodiscard]] std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line + "\n";
}

[[nodiscard]] std::string defaultServerPath() {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "src" / "tembrel-server").string();
}

} // namespace

int main(int argc, char** argv) {
    const std::string server = argc > 1 ? argv[1] : defaultServerPath();
    const int commands = argc > 2 ? std::max(100, std::atoi(argv[2])) : kDefaultCommands;
    const int clientCount = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 20) : kDefaultClients;
    if (!std::filesystem::exists(server)) {
        fail("server binary not found: " + server);
    }
    char folderTemplate[] = "/tmp/tembrel-bench-XXXXXX";
    if (::mkdtemp(folderTemplate) == nullptr) {
        fail("no temp folder");
    }
    const std::filesystem::path folder = folderTemplate;
    const std::string port = std::to_string(freePort());
    const std::string settings = (folder / "settings.ini").string();
    const std::string uploads = (folder / "uploads").string();
    std::vector<std::string> args{server,   "--headless", "--port", port,           "--settings",
                                  settings, "--audio",    "null",   "--upload-dir", uploads};
    std::vector<char*> argvChild;
    for (std::string& arg : args) {
        argvChild.push_back(arg.data());
    }
    argvChild.push_back(nullptr);
    const std::string loadAtStart = loadAverage();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);

    // Start-up: launch to the first reply of a join.
    const auto launched = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, server.c_str(), &actions, nullptr, argvChild.data(), environ) != 0) {
        fail("cannot launch " + server);
    }
    Clients clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(std::make_unique<BlockingConnection>(kWait));
    }
    while (!clients[0]->open("127.0.0.1", std::stoi(port))) {
        if (Clock::now() - launched > std::chrono::milliseconds(kWaitMs)) {
            fail("the server did not start listening");
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    CNDKMessage join(0);
    join.appendText("bench0");
    send(*clients[0], join);
    waitFor(*clients[0], [](const CNDKMessage&) { return true; });
    const double startupMs =
        std::chrono::duration<double, std::milli>(Clock::now() - launched).count();
    waitFor(*clients[0], [](const CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; });

    for (int i = 1; i < clientCount; ++i) {
        auto& client = *clients[static_cast<std::size_t>(i)];
        if (!client.open("127.0.0.1", std::stoi(port))) {
            fail("client " + std::to_string(i) + " cannot connect");
        }
        CNDKMessage next(0);
        next.appendText("bench" + std::to_string(i));
        send(client, next);
        waitFor(client, [](const CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; });
        // The clients that joined before get the join message and a status.
        for (int earlier = 0; earlier < i; ++earlier) {
            waitFor(*clients[static_cast<std::size_t>(earlier)], endsBroadcast);
        }
    }
    idle(clients, 1);

    // The probe is the client that joined last: a server that writes its
    // users' sockets in the order they joined serves it after everyone else.
    auto& probe = *clients.back();
    const std::size_t probeIndex = clients.size() - 1;
    CNDKMessage echo(tembrel::net::kNdkIdEcho);
    echo.appendText("ping");
    const CNDKMessage up = tembrel::protocol::commandMessage(tembrel::protocol::Command::VolumeUp);
    const auto timeEcho = [&](std::vector<double>& micros, bool keep, long* ends) {
        const auto start = Clock::now();
        send(probe, echo);
        waitFor(probe, isEcho, ends);
        if (keep) {
            micros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    };

    // Echoes alone: the server's cost of a bare round trip, and its latency
    // when nothing else happens between round trips.
    std::vector<double> aloneMicros;
    const std::uint64_t aloneCpuStart = cpuNanoseconds(pid);
    for (int round = 0; round < kWarmup + commands; ++round) {
        timeEcho(aloneMicros, round >= kWarmup, nullptr);
    }
    const std::uint64_t aloneCpuEnd = cpuNanoseconds(pid);

    // Then rounds of an echo followed by a command. The echo of the same
    // rounds is the floor the command is held against: a round trip on
    // loopback costs very different amounts depending on whether client and
    // server share a processor (waking an idle virtual processor takes tens
    // of microseconds), and a run of echoes alone can settle on either.
    //
    // A command first, so that no periodic status push is due for a second;
    // once the probe has drained, the server has handled the command and
    // queued its broadcast to everyone. Then every stream is emptied: from
    // here on all clients count the same broadcasts.
    send(probe, up);
    drain(probe);
    for (const auto& client : clients) {
        drain(*client);
    }
    std::vector<long> ends(clients.size(), 0);
    std::vector<double> echoMicros;
    std::vector<double> commandMicros;
    const std::uint64_t mixedCpuStart = cpuNanoseconds(pid);
    for (int round = 0; round < kWarmup + commands; ++round) {
        timeEcho(echoMicros, round >= kWarmup, &ends[probeIndex]);
        const auto start = Clock::now();
        send(probe, up);
        waitFor(
            probe,
            [](const CNDKMessage& m) {
                return tembrel::protocol::isReply(m, tembrel::protocol::Reply::Volume);
            },
            &ends[probeIndex]);
        if (round >= kWarmup) {
            commandMicros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        // The rest of the broadcast, at every client, so the next round
        // starts clean.
        waitFor(probe, endsBroadcast, &ends[probeIndex]);
        catchUp(clients, ends, probeIndex);
    }
    const std::uint64_t mixedCpuEnd = cpuNanoseconds(pid);
    const double rounds = kWarmup + commands;
    const double echoCpuUs = static_cast<double>(aloneCpuEnd - aloneCpuStart) / 1e3 / rounds;
    const double commandCpuUs =
        static_cast<double>(mixedCpuEnd - mixedCpuStart) / 1e3 / rounds - echoCpuUs;

    idle(clients, 2);
    const std::uint64_t cpuBefore = cpuNanoseconds(pid);
    const auto idleStart = Clock::now();
    idle(clients, kIdleSeconds);
    const double idleSeconds = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleCpuPercent =
        100.0 * static_cast<double>(cpuNanoseconds(pid) - cpuBefore) / 1e9 / idleSeconds;

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    std::filesystem::remove_all(folder);

    const Figures a = summarise(aloneMicros);
    const Figures e = summarise(echoMicros);
    const Figures c = summarise(commandMicros);
    const bool cleanExit = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::printf("clients: %d joined (the last one probes), %d rounds after %d warm-up rounds\n",
                clientCount, commands, kWarmup);
    std::printf("load average at the start: %s", loadAtStart.c_str());
    std::printf("load average at the end:   %s", loadAverage().c_str());
    std::printf("\n%-28s %9s %9s %9s\n", "round trip", "p50 us", "p99 us", "mean us");
    std::printf("%-28s %9.1f %9.1f %9.1f\n", "echo (-2) alone", a.p50, a.p99, a.mean);
    std::printf("%-28s %9.1f %9.1f %9.1f\n", "echo (-2), the floor", e.p50, e.p99, e.mean);
    std::printf("%-28s %9.1f %9.1f %9.1f\n", "\"Up\" to its \"^Volume\"", c.p50, c.p99, c.mean);
    std::printf("%-28s %9.2f %9.2f\n", "command / echo (floor)", c.p50 / e.p50, c.p99 / e.p99);
    std::printf("%-28s %9.2f %9.2f\n", "command / echo alone", c.p50 / a.p50, c.p99 / a.p99);
    std::printf("server CPU per round: echo %.1f us, command %.1f us\n", echoCpuUs, commandCpuUs);

    std::printf("\n%-36s %10s %10s\n", "target", "measured", "");
    bool allMet = true;
    const auto verdict = [&allMet](const char* what, double measured, bool met) {
        allMet = allMet && met;
        std::printf("%-36s %10.2f %10s\n", what, measured, met ? "PASS" : "FAIL");
    };
    verdict("command p99 <= 1.5 x echo p99", c.p99 / e.p99, c.p99 <= kMaxRatioToEcho * e.p99);
    verdict("command p99 < 200 us", c.p99, c.p99 < kMaxCommandP99Us);
    verdict("idle CPU < 0.5 % of a core", idleCpuPercent, idleCpuPercent < kMaxIdleCpuPercent);
    verdict("start-up to first reply < 100 ms", startupMs, startupMs < kMaxStartupMs);
    std::printf("%-36s %10s %10s\n", "server exit on SIGTERM", cleanExit ? "clean" : "not clean",
                cleanExit ? "PASS" : "FAIL");
    allMet = allMet && cleanExit;
    std::printf("all targets: %s\n", allMet ? "PASS" : "FAIL");
    return 0;
}

// End-to-end figures of the server binary on loopback: start-up time to the
// first reply, the round trip of a command to the "^Volume" of the status
// broadcast that follows it with 20 joined clients (against the echo round
// trip as the floor), and the server's CPU use while idle with 20 clients.
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

#include "LoopbackClient.h"
#include "net/CNDKMessage.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tembrel::net::CNDKMessage;

constexpr int kDefaultClients = 20;
constexpr int kDefaultCommands = 10'000;
constexpr int kWarmup = 500;
constexpr int kIdleSeconds = 10;
constexpr int kWaitMs = 5'000;

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

void send(tembrel::bench::LoopbackClient& client, const CNDKMessage& message) {
    if (!client.send(message)) {
        fail("send failed");
    }
}

[[nodiscard]] std::string textAt(const CNDKMessage& message, int index) {
    std::string text;
    message.readValue(index, text);
    return text;
}

using Clients = std::vector<std::unique_ptr<tembrel::bench::LoopbackClient>>;

// Reads only `target` until a message matching `pred` has arrived; what the
// other clients receive meanwhile waits in their sockets.
void waitFor(tembrel::bench::LoopbackClient& target,
             const std::function<bool(const CNDKMessage&)>& pred) {
    for (;;) {
        while (auto message = target.nextBuffered()) {
            if (pred(*message)) {
                return;
            }
        }
        pollfd p{target.fd(), POLLIN, 0};
        if (::poll(&p, 1, kWaitMs) <= 0) {
            fail("timed out waiting for the server");
        }
        if (!target.readAvailable(0)) {
            fail("the server closed a connection");
        }
    }
}

// Lets every client but `except` read up to its copy of a message matching
// `pred` (the end of a broadcast), so nothing is left over for the next
// measurement.
void catchUp(Clients& clients, const tembrel::bench::LoopbackClient* except,
             const std::function<bool(const CNDKMessage&)>& pred) {
    for (const auto& client : clients) {
        if (client.get() != except && client->fd() >= 0) {
            waitFor(*client, pred);
        }
    }
}

[[nodiscard]] bool endsBroadcast(const CNDKMessage& message) {
    std::string name;
    message.readValue(0, name);
    return name == "^Elapsed";
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
                if (!clients[i]->readAvailable(0)) {
                    fail("the server closed a connection while idle");
                }
                while (clients[i]->nextBuffered()) {
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
        clients.push_back(std::make_unique<tembrel::bench::LoopbackClient>());
    }
    while (!clients[0]->connectTo(std::stoi(port))) {
        clients[0]->close();
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
        if (!client.connectTo(std::stoi(port))) {
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

    // The echo floor first, then the command, each in a run of its own so
    // neither waits behind the other's tail.
    auto& probe = *clients[0];
    CNDKMessage echo(tembrel::net::kNdkIdEcho);
    echo.appendText("ping");
    CNDKMessage up(2);
    up.appendText("Up");
    std::vector<double> echoMicros;
    std::vector<double> commandMicros;
    const std::uint64_t echoCpuStart = cpuNanoseconds(pid);
    for (int round = 0; round < kWarmup + commands; ++round) {
        const auto start = Clock::now();
        send(probe, echo);
        waitFor(probe, [](const CNDKMessage& m) { return m.id() == tembrel::net::kNdkIdEcho; });
        if (round >= kWarmup) {
            echoMicros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    const std::uint64_t commandCpuStart = cpuNanoseconds(pid);
    for (int round = 0; round < kWarmup + commands; ++round) {
        const auto start = Clock::now();
        send(probe, up);
        waitFor(probe, [](const CNDKMessage& m) { return textAt(m, 0) == "^Volume"; });
        if (round >= kWarmup) {
            commandMicros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        // The rest of the broadcast, at every client, so the next round
        // starts clean.
        waitFor(probe, endsBroadcast);
        catchUp(clients, &probe, endsBroadcast);
    }
    const std::uint64_t commandCpuEnd = cpuNanoseconds(pid);
    const double rounds = kWarmup + commands;
    const double echoCpuUs = static_cast<double>(commandCpuStart - echoCpuStart) / 1e3 / rounds;
    const double commandCpuUs = static_cast<double>(commandCpuEnd - commandCpuStart) / 1e3 / rounds;

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

    const Figures e = summarise(echoMicros);
    const Figures c = summarise(commandMicros);
    std::printf("clients: %d joined, %d rounds after %d warm-up rounds\n", clientCount, commands,
                kWarmup);
    std::printf("echo (-2) round trip      p50 %7.1f us  p99 %7.1f us  mean %7.1f us\n", e.p50,
                e.p99, e.mean);
    std::printf("\"Up\" to \"^Volume\"         p50 %7.1f us  p99 %7.1f us  mean %7.1f us\n", c.p50,
                c.p99, c.mean);
    std::printf("server CPU per round:     echo %.1f us, command %.1f us\n", echoCpuUs,
                commandCpuUs);
    std::printf("command p99 / echo p99:   %.2f (target <= 1.5, and p99 < 200 us)\n",
                c.p99 / e.p99);
    std::printf("idle CPU, %d clients:     %.3f %% of a core over %.1f s (target < 0.5 %%)\n",
                clientCount, idleCpuPercent, idleSeconds);
    std::printf("start-up to first reply:  %.1f ms (target < 100 ms)\n", startupMs);
    std::printf("load average at the end:  %s", loadAverage().c_str());
    std::printf("server exit:              %s\n",
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "clean" : "NOT clean");
    return 0;
}

// End-to-end figures of the web remote, each against the TCP protocol
// measured in the same run on the same server binary:
//  1. command round trip (volume up to the volume reply of the status broadcast that
//     follows it) of a WebSocket user and of a TCP user, with 20 users
//     joined (half of each kind), p50 / p99;
//  2. the 60/s spectrum to 20 users of one kind: delivered rate per user, the
//     gap between frames (p99), and the server's CPU, for 20 web users and
//     for 20 TCP users.
//
// Usage: bench_web_remote [path/to/tembrel-server] [rounds] [spectrum seconds]
#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WebBenchUsers.h"
#include "protocol/Messages.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tembrel::bench::TcpUser;
using tembrel::bench::User;
using tembrel::bench::WebSocketClient;
using tembrel::bench::WebUser;
using tembrel::net::CNDKMessage;

constexpr int kUsers = 20;
constexpr int kDefaultRounds = 2000;
constexpr int kWarmup = 200;
constexpr int kDefaultSpectrumSeconds = 10;
constexpr int kWaitMs = 5000;

// Targets.
constexpr double kMaxWebToTcpP99 = 1.5;
constexpr double kMinSpectrumRate = 55.0;
constexpr double kMaxGapP99Ms = 40.0;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_web_remote: %s\n", what.c_str());
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

// The server binary as a child process; SIGTERM and a wait when it goes.
class Server {
public:
    Server(const std::string& binary, const std::filesystem::path& folder, int spectrum)
        : tcpPort_(freePort()), webPort_(freePort()) {
        std::vector<std::string> args{
            binary,         "--headless",
            "--audio",      "null",
            "--port",       std::to_string(tcpPort_),
            "--web-port",   std::to_string(webPort_),
            "--settings",   (folder / "settings.ini").string(),
            "--upload-dir", (folder / "uploads").string(),
            "--spectrum",   spectrum == 0 ? "off" : std::to_string(spectrum)};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            fail("cannot launch " + binary);
        }
        posix_spawn_file_actions_destroy(&actions);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        for (WebSocketClient web; !web.connectTo(webPort_); web.close()) {
            if (Clock::now() > deadline) {
                fail("the server did not start listening");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Server() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    [[nodiscard]] int tcpPort() const noexcept { return tcpPort_; }
    [[nodiscard]] int webPort() const noexcept { return webPort_; }

    // CPU time of every thread of the server, in nanoseconds.
    [[nodiscard]] std::uint64_t cpuNanoseconds() const {
        std::uint64_t total = 0;
        const auto tasks = std::filesystem::path("/proc") / std::to_string(pid_) / "task";
        for (const auto& task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream stat(task.path() / "schedstat");
            std::uint64_t runNs = 0;
            if (stat >> runNs) {
                total += runNs;
            }
        }
        return total;
    }

private:
    int tcpPort_;
    int webPort_;
    pid_t pid_ = 0;
};

using Users = std::vector<std::unique_ptr<User>>;

// Reads `user` until a message passes `pred`.
void waitFor(User& user, const std::function<bool(int, std::string_view)>& pred) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    bool found = false;
    while (!found) {
        if (Clock::now() > deadline) {
            fail("timed out waiting for the server");
        }
        user.read(kWaitMs, [&](int id, std::string_view name) { found = found || pred(id, name); });
    }
}

void join(User& user, const std::string& name) {
    CNDKMessage message(0);
    message.appendText(name);
    user.send(message);
    waitFor(user, [](int, std::string_view n) { return n == "^TotalTracks"; });
}

// Reads and discards whatever every user has received, without waiting.
void discardAll(Users& users) {
    for (auto& user : users) {
        user->read(0, [](int, std::string_view) {});
    }
}

// Everything queued for `user` before now has been read once its echo is back.
void drain(User& user) {
    CNDKMessage mark(tembrel::net::kNdkIdEcho);
    mark.appendText("mark");
    user.send(mark);
    waitFor(user, [](int id, std::string_view) { return id == tembrel::net::kNdkIdEcho; });
}

struct Figures {
    double p50 = 0;
    double p99 = 0;
};

[[nodiscard]] Figures summarise(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2],
            values[std::min(values.size() - 1, values.size() * 99 / 100)]};
}

// Round trips of volume up to its volume reply for a TCP probe and a web probe, taking
// turns, with 20 users joined (half of each kind).
void measureRoundTrips(const std::string& binary, const std::filesystem::path& folder, int rounds) {
    const Server server(binary, folder, 0);
    Users users;
    for (int i = 0; i < kUsers; ++i) {
        if (i % 2 == 0) {
            users.push_back(std::make_unique<TcpUser>(server.tcpPort()));
        } else {
            users.push_back(std::make_unique<WebUser>(server.webPort()));
        }
        join(*users.back(), "bench" + std::to_string(i));
        discardAll(users);
    }
    // The probes joined last: served after everyone else by a host that
    // writes in order of joining.
    User& tcpProbe = *users[kUsers - 2];
    User& webProbe = *users[kUsers - 1];
    const CNDKMessage up = tembrel::protocol::commandMessage(tembrel::protocol::Command::VolumeUp);
    std::vector<double> tcpMicros;
    std::vector<double> webMicros;
    const auto timeRound = [&](User& probe, std::vector<double>& micros, bool keep) {
        drain(probe);
        const auto start = Clock::now();
        probe.send(up);
        waitFor(probe, [](int, std::string_view n) {
            return n == tembrel::protocol::replyName(tembrel::protocol::Reply::Volume);
        });
        if (keep) {
            micros.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        discardAll(users);
    };
    const std::uint64_t cpuStart = server.cpuNanoseconds();
    for (int round = 0; round < kWarmup + rounds; ++round) {
        timeRound(tcpProbe, tcpMicros, round >= kWarmup);
        timeRound(webProbe, webMicros, round >= kWarmup);
    }
    const double cpuPerCommandUs =
        static_cast<double>(server.cpuNanoseconds() - cpuStart) / 1e3 / (2.0 * (kWarmup + rounds));
    const Figures tcp = summarise(tcpMicros);
    const Figures web = summarise(webMicros);
    std::printf("command round trip, %d users joined (10 TCP, 10 web), %d rounds each\n", kUsers,
                rounds);
    std::printf("%-24s %9s %9s\n", "", "p50 us", "p99 us");
    std::printf("%-24s %9.1f %9.1f\n", "TCP user", tcp.p50, tcp.p99);
    std::printf("%-24s %9.1f %9.1f\n", "web user (WebSocket)", web.p50, web.p99);
    std::printf("%-24s %9.2f %9.2f   target p99 <= %.1f: %s\n", "web / TCP", web.p50 / tcp.p50,
                web.p99 / tcp.p99, kMaxWebToTcpP99,
                web.p99 <= kMaxWebToTcpP99 * tcp.p99 ? "PASS" : "FAIL");
    std::printf("server CPU per command (echo and broadcast included): %.1f us\n\n",
                cpuPerCommandUs);
}

struct SpectrumFigures {
    double minRate = 0;
    double meanRate = 0;
    Figures gapMs;
    double cpuPercent = 0;
};

// 20 users of one kind receive the 60/s spectrum for `seconds`.
template <typename Kind>
SpectrumFigures measureSpectrum(const Server& server, int port, int seconds) {
    Users users;
    for (int i = 0; i < kUsers; ++i) {
        users.push_back(std::make_unique<Kind>(port));
        join(*users.back(), "spectrum" + std::to_string(i));
    }
    std::vector<std::vector<Clock::time_point>> arrivals(users.size());
    std::vector<pollfd> fds;
    for (const auto& user : users) {
        fds.push_back({user->fd(), POLLIN, 0});
    }
    const std::uint64_t cpuStart = server.cpuNanoseconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        ::poll(fds.data(), fds.size(), 50);
        const auto now = Clock::now();
        for (std::size_t i = 0; i < users.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0) {
                users[i]->read(0, [&](int, std::string_view name) {
                    if (name == "^Spectrum") {
                        arrivals[i].push_back(now);
                    }
                });
            }
        }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    SpectrumFigures figures;
    figures.cpuPercent =
        100.0 * static_cast<double>(server.cpuNanoseconds() - cpuStart) / 1e9 / wall;
    std::vector<double> gaps;
    figures.minRate = 1e9;
    for (const auto& times : arrivals) {
        const double rate = static_cast<double>(times.size()) / wall;
        figures.minRate = std::min(figures.minRate, rate);
        figures.meanRate += rate / static_cast<double>(arrivals.size());
        for (std::size_t k = 1; k < times.size(); ++k) {
            gaps.push_back(
                std::chrono::duration<double, std::milli>(times[k] - times[k - 1]).count());
        }
    }
    figures.gapMs = summarise(gaps);
    return figures;
}

void printSpectrum(const char* kind, const SpectrumFigures& f) {
    std::printf("%-10s %8.1f %8.1f %8.1f %8.1f %8.2f\n", kind, f.meanRate, f.minRate, f.gapMs.p50,
                f.gapMs.p99, f.cpuPercent);
}

void measureSpectrumFanOut(const std::string& binary, const std::filesystem::path& folder,
                           int seconds) {
    const Server server(binary, folder, 60);
    const SpectrumFigures tcp = measureSpectrum<TcpUser>(server, server.tcpPort(), seconds);
    const SpectrumFigures web = measureSpectrum<WebUser>(server, server.webPort(), seconds);
    std::printf("spectrum at 60/s to %d users of one kind, %d s each\n", kUsers, seconds);
    std::printf("%-10s %8s %8s %8s %8s %8s\n", "users", "rate/s", "min/s", "gap p50", "gap p99",
                "CPU %");
    printSpectrum("TCP", tcp);
    printSpectrum("web", web);
    std::printf("web: min rate >= %.0f/s: %s; gap p99 < %.0f ms: %s; CPU web / TCP: %.2f\n",
                kMinSpectrumRate, web.minRate >= kMinSpectrumRate ? "PASS" : "FAIL", kMaxGapP99Ms,
                web.gapMs.p99 < kMaxGapP99Ms ? "PASS" : "FAIL", web.cpuPercent / tcp.cpuPercent);
}

[[nodiscard]] std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line;
}

[[nodiscard]] std::string defaultServerPath() {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "src" / "tembrel-server").string();
}

} // namespace

int main(int argc, char** argv) {
    const std::string binary = argc > 1 ? argv[1] : defaultServerPath();
    const int rounds = argc > 2 ? std::max(100, std::atoi(argv[2])) : kDefaultRounds;
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : kDefaultSpectrumSeconds;
    if (!std::filesystem::exists(binary)) {
        fail("server binary not found: " + binary);
    }
    char folderTemplate[] = "/tmp/tembrel-bench-XXXXXX";
    if (::mkdtemp(folderTemplate) == nullptr) {
        fail("no temp folder");
    }
    const std::filesystem::path folder = folderTemplate;
    std::printf("load average at the start: %s\n\n", loadAverage().c_str());
    measureRoundTrips(binary, folder, rounds);
    measureSpectrumFanOut(binary, folder, seconds);
    std::printf("\nload average at the end: %s\n", loadAverage().c_str());
    std::filesystem::remove_all(folder);
    return 0;
}

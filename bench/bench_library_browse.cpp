// The library as a client meets it, against the real server process on the
// 200,000-track tree of bench_library_scan (run that first to build it):
// the time for the artist list a join brings ("GetArtists") and for one
// artist's 200 albums to reach the client, and the client's round trip
// (an echo) while the server rescans the whole tree (SIGHUP), against the
// same round trip with no scan running.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "BenchServer.h"
#include "connection/BlockingConnection.h"
#include "net/CNDKMessage.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tembrel::client::BlockingConnection;
using tembrel::net::CNDKMessage;

constexpr int kPort = 46123;
constexpr int kBaselineEchoes = 2000;
constexpr double kMaxP99Ms = 5.0;
constexpr auto kScanWait = std::chrono::minutes(5);
constexpr const char* kManyAlbumsNumber = "1002"; // artist slot 1001, after "Artist 1000-1999"

fs::path treeLocation() {
    const char* configured = std::getenv("TEMBREL_BENCH_DIR");
    const fs::path root = configured != nullptr ? fs::path(configured)
                                                : fs::path("/var/tmp/tembrel-bench-library-200k");
    return root / "Music";
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int occurrences(const std::string& text, const std::string& part) {
    int found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

// The next message whose value 0 is `name`; false on timeout or failure.
bool receiveNamed(BlockingConnection& client, std::string_view name) {
    CNDKMessage message;
    while (client.receive(message)) {
        std::string text;
        message.readValue(0, text);
        if (text == name) {
            return true;
        }
    }
    return false;
}

double echoRoundTrip(BlockingConnection& client) {
    CNDKMessage echo(tembrel::net::kNdkIdEcho);
    echo.appendText("ping");
    const auto begin = Clock::now();
    if (!client.send(echo)) {
        return -1;
    }
    CNDKMessage message;
    while (client.receive(message)) {
        if (message.id() == tembrel::net::kNdkIdEcho) {
            return ms(Clock::now() - begin);
        }
    }
    return -1;
}

} // namespace

int main() {
    const fs::path location = treeLocation();
    if (!fs::exists(location / "Many Albums")) {
        std::cerr << "no tree at " << location << ": run bench_library_scan first\n";
        return 1;
    }
    tembrel::bench::ScratchFolder scratch;
    const std::string log = (scratch.path() / "server.log").string();
    const std::string port = std::to_string(kPort);
    const std::string settings = (scratch.path() / "settings.ini").string();
    const std::string uploads = (scratch.path() / "uploads").string();
    const std::string where = location.string();
    std::vector<const char*> args{
        TEMBREL_SERVER_BINARY, "--headless",    "--audio",     "null",       "--port",
        port.c_str(),          "--location",    where.c_str(), "--settings", settings.c_str(),
        "--upload-dir",        uploads.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t server = 0;
    if (posix_spawn(&server, args[0], &actions, nullptr, const_cast<char* const*>(args.data()),
                    environ) != 0) {
        std::cerr << "cannot start " << args[0] << "\n";
        return 1;
    }
    const std::string scanned = "Location " + where + ": ";
    const auto waitForScans = [&](int count) {
        const auto deadline = Clock::now() + kScanWait;
        while (occurrences(readFile(log), scanned) < count) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    };
    const auto started = Clock::now();
    int status = 1;
    BlockingConnection client(std::chrono::seconds(30));
    if (!waitForScans(1) || !client.open("127.0.0.1", kPort)) {
        std::cerr << "the server did not scan the tree\n" << readFile(log);
    } else {
        std::cout << "first scan (start-up included): " << ms(Clock::now() - started) << " ms\n";
        CNDKMessage join(0);
        join.appendText("bench");
        auto begin = Clock::now();
        (void)client.send(join);
        if (!receiveNamed(client, "^TotalTracks")) {
            std::cerr << "no ^TotalTracks: " << client.failure().message << "\n";
        }
        std::cout << "GetArtists (join to the last total, 1,001 artists): "
                  << ms(Clock::now() - begin) << " ms\n";

        CNDKMessage albums(2);
        albums.appendText("GetAlbums");
        albums.appendText(kManyAlbumsNumber);
        begin = Clock::now();
        (void)client.send(albums);
        int received = 0;
        while (received < 200 && receiveNamed(client, "^AddAlbum")) {
            ++received;
        }
        std::cout << "GetAlbums with 200 albums: " << ms(Clock::now() - begin) << " ms ("
                  << received << " albums)\n";
        (void)receiveNamed(client, "^Elapsed");

        std::vector<double> idle;
        for (int i = 0; i < kBaselineEchoes; ++i) {
            idle.push_back(echoRoundTrip(client));
        }
        std::vector<double> scanning;
        kill(server, SIGHUP);
        const auto scanBegin = Clock::now();
        while (occurrences(readFile(log), scanned) < 2 && Clock::now() - scanBegin < kScanWait) {
            for (int i = 0; i < 50; ++i) {
                scanning.push_back(echoRoundTrip(client));
            }
        }
        const double scanMs = ms(Clock::now() - scanBegin);
        const double idleP99 = percentile(idle, 0.99);
        const double scanP99 = percentile(scanning, 0.99);
        std::cout << "round trip without a scan: p50 " << percentile(idle, 0.5) << " ms, p99 "
                  << idleP99 << " ms\n"
                  << "round trip during a 200,000-track rescan (" << scanMs << " ms, "
                  << scanning.size() << " round trips): p50 " << percentile(scanning, 0.5)
                  << " ms, p99 " << scanP99 << " ms, max " << percentile(scanning, 1.0)
                  << " ms (target p99 < " << kMaxP99Ms << " ms), ratio to no scan "
                  << (idleP99 > 0 ? scanP99 / idleP99 : 0) << "\n";
        status = 0;
    }
    client.close();
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

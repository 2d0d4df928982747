// The spectrum stream at 60 updates per second to 20 connected clients, for
// 30 s (TEMBREL_BENCH_SECONDS overrides): the rate each client receives, the
// gaps between consecutive "^Spectrum" messages (p50, p99, max) and the
// server's CPU use meanwhile, with a real track playing on the silent output.
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include "BenchServer.h"
#include "connection/BlockingConnection.h"
#include "playback/SystemSoundLibrary.h"
#include "protocol/MessageIds.h"
#include "remote/CServerDlg.h"

namespace {

namespace fs = std::filesystem;
using tembrel::bench::SilentView;
using tembrel::client::BlockingConnection;
using tembrel::net::CNDKMessage;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 20;
constexpr int kDefaultSeconds = 30;
// The period chosen takes effect at the step after the one already armed.
constexpr auto kSettle = std::chrono::milliseconds(1500);
// How long a connect or a send may take.
constexpr auto kClientTimeout = std::chrono::milliseconds(5000);

int measuredSeconds() {
    const char* text = std::getenv("TEMBREL_BENCH_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : kDefaultSeconds;
    return seconds > 0 ? seconds : kDefaultSeconds;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

struct Measurement {
    bool ok = false;
    std::vector<int> counts;  // spectra per client
    std::vector<double> gaps; // ms between consecutive spectra, all clients
    double clientCpuSeconds = 0;
    double wallSeconds = 0;
};

// Connects the clients, lets the new period settle, then records every
// "^Spectrum" arrival for `seconds`.
Measurement listen(int port, int seconds) {
    Measurement result;
    std::vector<std::unique_ptr<BlockingConnection>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<BlockingConnection>(kClientTimeout));
        CNDKMessage join(tembrel::protocol::kIdJoin);
        join.appendText("listener" + std::to_string(i));
        if (!clients.back()->open("127.0.0.1", port) || !clients.back()->send(join)) {
            return result;
        }
    }
    std::vector<pollfd> fds;
    for (const auto& client : clients) {
        fds.push_back({client->fd(), POLLIN, 0});
    }
    std::vector<Clock::time_point> last(kClients);
    result.counts.assign(kClients, 0);
    const double cpuBefore = cpuSeconds(RUSAGE_THREAD);
    const auto begin = Clock::now() + kSettle;
    const auto end = begin + std::chrono::seconds(seconds);
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (::poll(fds.data(), fds.size(), 5) < 0) {
            return result;
        }
        for (int i = 0; i < kClients; ++i) {
            if ((fds[static_cast<std::size_t>(i)].revents & POLLIN) == 0) {
                continue;
            }
            auto& client = *clients[static_cast<std::size_t>(i)];
            if (client.readAvailable(std::chrono::milliseconds(0)) ==
                BlockingConnection::Wait::Failed) {
                return result;
            }
            const auto arrived = Clock::now();
            CNDKMessage message;
            while (client.takeBuffered(message)) {
                std::string name;
                message.readValue(0, name);
                if (name != "^Spectrum" || arrived < begin) {
                    continue;
                }
                auto& previous = last[static_cast<std::size_t>(i)];
                if (previous != Clock::time_point{}) {
                    result.gaps.push_back(
                        std::chrono::duration<double, std::milli>(arrived - previous).count());
                }
                previous = arrived;
                ++result.counts[static_cast<std::size_t>(i)];
            }
        }
    }
    result.clientCpuSeconds = cpuSeconds(RUSAGE_THREAD) - cpuBefore;
    result.wallSeconds = std::chrono::duration<double>(end - begin).count();
    result.ok = true;
    return result;
}

void BM_SpectrumFanout60(benchmark::State& state) {
    const tembrel::bench::ScratchFolder scratch;
    const fs::path root = scratch.path();
    const int seconds = measuredSeconds();
    const fs::path track = root / "tone.mp3";
    if (root.empty() || !tembrel::bench::makeToneMp3(track, seconds + 30)) {
        state.SkipWithError("could not generate the track (ffmpeg)");
        return;
    }

    const auto sound =
        tembrel::playback::createSystemSoundLibrary(tembrel::playback::AudioOutput::Null);
    SilentView view;
    tembrel::remote::CServerDlg::Options options;
    options.uploadDir = root / "uploads";
    tembrel::remote::CServerDlg server(*sound, view, options);
    server.setPortText("0");
    server.startStopServer();
    (void)server.playlist().appendEntry(track.string(), track.string());
    server.setSpectrumRate(tembrel::remote::SpectrumRate::Fps60);
    const int port = server.listeningPort();

    for (auto _ : state) {
        const double processBefore = cpuSeconds(RUSAGE_SELF);
        const double mainBefore = cpuSeconds(RUSAGE_THREAD);
        const Measurement measured =
            tembrel::bench::whileServing([&] { return listen(port, seconds); });
        const double mainCpu = cpuSeconds(RUSAGE_THREAD) - mainBefore;
        const double processCpu = cpuSeconds(RUSAGE_SELF) - processBefore;
        if (!measured.ok) {
            state.SkipWithError("a client failed");
            break;
        }
        state.SetIterationTime(measured.wallSeconds);
        const auto [low, high] =
            std::minmax_element(measured.counts.begin(), measured.counts.end());
        double total = 0;
        for (const int count : measured.counts) {
            total += count;
        }
        state.counters["rate_min_per_s"] = *low / measured.wallSeconds;
        state.counters["rate_mean_per_s"] = total / kClients / measured.wallSeconds;
        state.counters["rate_max_per_s"] = *high / measured.wallSeconds;
        state.counters["gap_p50_ms"] = percentile(measured.gaps, 0.50);
        state.counters["gap_p99_ms"] = percentile(measured.gaps, 0.99);
        state.counters["gap_max_ms"] = percentile(measured.gaps, 1.0);
        // The server is everything in this process but the listening thread
        // (the main thread plus the sound library's audio thread); the
        // settle time before measuring is included.
        const double wall = measured.wallSeconds + std::chrono::duration<double>(kSettle).count();
        state.counters["server_cpu_pct"] = 100.0 * (processCpu - measured.clientCpuSeconds) / wall;
        state.counters["main_thread_cpu_pct"] = 100.0 * mainCpu / wall;
    }
}

BENCHMARK(BM_SpectrumFanout60)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

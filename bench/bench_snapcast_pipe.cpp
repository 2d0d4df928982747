// The work the Snapcast output adds to every period of playback, over what
// the silent output does: resampling the mix to 48 kHz 16-bit, and writing it
// into a named pipe that a reader drains. Each figure is also given as CPU
// time per second of audio played in real time (a period lasts 4096 / 44100 s).
#include <atomic>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "playback/FifoWriter.h"
#include "playback/PcmConverter.h"
#include "playback/SnapcastOutput.h"

namespace {

using tembrel::playback::FifoWriter;
using tembrel::playback::PcmConverter;
using tembrel::playback::SnapcastOutput;

constexpr int kMixRate = 44100;
constexpr std::size_t kFrames = SnapcastOutput::kPeriodFrames;
constexpr double kPeriodSeconds = static_cast<double>(kFrames) / kMixRate;

std::vector<float> noise() {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    std::vector<float> mix(kFrames * PcmConverter::kChannels);
    for (float& value : mix) {
        value = sample(random);
    }
    return mix;
}

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// CPU microseconds this thread spent per second of audio played in real time
// (100 of them are 0.01% of one core).
void reportShareOfCore(benchmark::State& state, double cpuSeconds) {
    const double perPeriod = cpuSeconds / static_cast<double>(state.iterations());
    state.counters["cpu_us_per_audio_s"] = perPeriod / kPeriodSeconds * 1e6;
}

void BM_ConvertPeriod(benchmark::State& state) {
    auto converter = PcmConverter::create(kMixRate, SnapcastOutput::kPipeRate);
    const std::vector<float> mix = noise();
    const double start = threadCpuSeconds();
    for (auto _ : state) {
        benchmark::DoNotOptimize(converter->convert(mix).data());
    }
    reportShareOfCore(state, threadCpuSeconds() - start);
}
BENCHMARK(BM_ConvertPeriod);

// A reader on another thread drains the pipe as fast as it fills.
void BM_ConvertAndWritePeriod(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tembrel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "snapfifo").string();
    if (FifoWriter::prepare(path)) {
        state.SkipWithError("cannot make the pipe");
        return;
    }
    FifoWriter::blockBrokenPipeSignal();
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        std::vector<char> sink(1 << 16);
        while (!stop) {
            if (::read(reader, sink.data(), sink.size()) <= 0) {
                std::this_thread::yield();
            }
        }
    });
    FifoWriter writer(path, PcmConverter::kFrameBytes, {});
    static_cast<void>(writer.open(FifoWriter::Clock::now()));
    auto converter = PcmConverter::create(kMixRate, SnapcastOutput::kPipeRate);
    const std::vector<float> mix = noise();
    const double start = threadCpuSeconds();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writer.queued());
        writer.write(converter->convert(mix));
    }
    reportShareOfCore(state, threadCpuSeconds() - start);
    stop = true;
    drain.join();
    ::close(reader);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ConvertAndWritePeriod);

} // namespace

BENCHMARK_MAIN();

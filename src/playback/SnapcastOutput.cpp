// The Snapcast pipe output's thread: real-time pacing, the lead kept in the
// pipe, and sleeping while nothing plays.
#include "playback/SnapcastOutput.h"

#include <vector>

#include <pthread.h>

namespace tembrel::playback {

namespace {

constexpr std::size_t kChannels = PcmConverter::kChannels;

} // namespace

std::unique_ptr<SnapcastOutput> SnapcastOutput::open(const std::string& path, int mixRate,
                                                     Render render, Log log, CpuMeter& cpu,
                                                     std::string& error) {
    if (auto problem = FifoWriter::prepare(path)) {
        error = "Snapcast output: " + *problem;
        return nullptr;
    }
    auto converter = PcmConverter::create(mixRate, kPipeRate);
    if (!converter) {
        error = "Snapcast output: cannot resample to " + std::to_string(kPipeRate) + " Hz";
        return nullptr;
    }
    if (log) {
        log("Snapcast: the music goes into " + path + " as " + std::to_string(kPipeRate) +
            " Hz 16-bit stereo");
    }
    return std::unique_ptr<SnapcastOutput>(new SnapcastOutput(
        path, mixRate, std::move(render), std::move(log), cpu, std::move(converter)));
}

SnapcastOutput::SnapcastOutput(const std::string& path, int mixRate, Render render, Log log,
                               CpuMeter& cpu, std::unique_ptr<PcmConverter> converter)
    : mixRate_(mixRate),
      period_(std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(
          static_cast<std::int64_t>(kPeriodFrames) * 1000000000 / mixRate))),
      render_(std::move(render)), cpu_(cpu), converter_(std::move(converter)),
      writer_(path, PcmConverter::kFrameBytes, std::move(log)), thread_([this] { run(); }) {}

SnapcastOutput::~SnapcastOutput() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wakeUp_.notify_one();
    thread_.join();
}

bool SnapcastOutput::wake() {
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wakeUp_.notify_one();
    return true;
}

void SnapcastOutput::run() {
    pthread_setname_np(pthread_self(), kThreadName);
    FifoWriter::blockBrokenPipeSignal();
    std::unique_lock lock(mutex_);
    for (;;) {
        // Nothing plays: no timer, no wake-up until a stream starts.
        wakeUp_.wait(lock, [this] { return quit_ || woken_; });
        if (quit_) {
            return;
        }
        woken_ = false;
        lock.unlock();
        playUntilIdle();
        lock.lock();
    }
}

bool SnapcastOutput::sleepUntil(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return !wakeUp_.wait_until(lock, deadline, [this] { return quit_; });
}

SnapcastOutput::Clock::duration SnapcastOutput::queuedTime() const noexcept {
    const auto frames = static_cast<std::int64_t>(writer_.queued() / PcmConverter::kFrameBytes);
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(frames * 1000000000 / kPipeRate));
}

std::size_t SnapcastOutput::periodBytes() const noexcept {
    return kPeriodFrames * kPipeRate / static_cast<std::size_t>(mixRate_) *
           PcmConverter::kFrameBytes;
}

void SnapcastOutput::writeSilence(std::size_t bytes) {
    const std::size_t whole = bytes / PcmConverter::kFrameBytes * PcmConverter::kFrameBytes;
    silence_.resize(std::max(silence_.size(), whole), 0);
    writer_.write(std::span(silence_.data(), whole));
}

bool SnapcastOutput::prepareForPeriod(bool resumed) {
    if (!writer_.readerPresent()) {
        // Only a write tells whether a reader has come; one period of
        // silence ahead of the music is what a new reader needs anyway.
        writeSilence(periodBytes());
        if (!writer_.readerPresent()) {
            return false; // the music is dropped: nobody would hear it
        }
        converter_->reset(); // no tail of what played before the reader came
    } else if (const std::size_t queued = writer_.queued(); resumed && queued < periodBytes()) {
        // Music after a pause: silence first, so that a reader that takes
        // the music in real time never finds the pipe empty between two
        // writes. Only then: a reader that drains the pipe at once would
        // otherwise get silence between every two periods.
        writeSilence(periodBytes() - queued);
    }
    return writer_.readerPresent();
}

void SnapcastOutput::playUntilIdle() {
    std::vector<float> mix(kPeriodFrames * kChannels);
    auto start = Clock::now();
    std::int64_t periods = 0;
    for (bool resumed = true;; resumed = false) {
        bool toPipe = false;
        if (writer_.open(Clock::now())) {
            const CpuMeter::Scope busy(cpu_);
            toPipe = prepareForPeriod(resumed);
        }
        // What is queued in the pipe plays before this period.
        const Clock::duration lead = toPipe ? queuedTime() : Clock::duration::zero();
        if (!render_(mix.data(), kPeriodFrames, lead)) {
            converter_->reset(); // the next music starts clean
            return;
        }
        if (toPipe) {
            const CpuMeter::Scope busy(cpu_);
            writer_.write(converter_->convert(mix));
        }
        ++periods;
        auto deadline = start + periods * period_;
        const auto now = Clock::now();
        if (now > deadline + period_) {
            // Held up for longer than a period (a stalled machine): go on
            // from now rather than catching up in a burst.
            start = now;
            periods = 0;
            deadline = now;
        }
        if (!sleepUntil(deadline)) {
            return;
        }
    }
}

} // namespace tembrel::playback

// Share of one core spent on audio work: the audio threads add the time they
// were busy, the main thread reads it as a percentage of wall time, smoothed
// over about a second.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace tembrel::playback {

class CpuMeter {
public:
    using Clock = std::chrono::steady_clock;

    // Measures the busy time of one piece of audio work.
    class Scope {
    public:
        explicit Scope(CpuMeter& meter) noexcept : meter_(meter), start_(Clock::now()) {}
        ~Scope() { meter_.addBusy(Clock::now() - start_); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CpuMeter& meter_;
        Clock::time_point start_;
    };

    CpuMeter() noexcept;

    // Any thread.
    void addBusy(Clock::duration busy) noexcept {
        busyNs_.fetch_add(std::chrono::duration_cast<std::chrono::nanoseconds>(busy).count(),
                          std::memory_order_relaxed);
    }

    // Main thread: percent of one core, smoothed over about a second.
    [[nodiscard]] float percent(Clock::time_point now = Clock::now()) noexcept;

private:
    std::atomic<std::int64_t> busyNs_{0};
    Clock::time_point lastSample_;
    std::int64_t lastBusyNs_ = 0;
    float smoothed_ = 0.0f;
};

} // namespace tembrel::playback

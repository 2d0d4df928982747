// Smoothing of the audio threads' busy time into a load percentage.
#include "playback/CpuMeter.h"

#include <algorithm>

namespace tembrel::playback {

namespace {

// Readings closer together than this keep the previous value: too short a
// span says nothing about the load.
constexpr auto kMinSampleSpan = std::chrono::milliseconds(100);
constexpr double kSmoothingSeconds = 1.0;

} // namespace

CpuMeter::CpuMeter() noexcept : lastSample_(Clock::now()) {}

float CpuMeter::percent(Clock::time_point now) noexcept {
    const auto span = now - lastSample_;
    if (span < kMinSampleSpan) {
        return smoothed_;
    }
    const std::int64_t busy = busyNs_.load(std::memory_order_relaxed);
    const double spanNs =
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(span).count());
    const double current = 100.0 * static_cast<double>(busy - lastBusyNs_) / spanNs;
    // Exponential smoothing whose weight grows with the span covered, so the
    // value follows the last second whatever the reading rate.
    const double weight = std::min(1.0, spanNs / 1e9 / kSmoothingSeconds);
    smoothed_ = static_cast<float>(smoothed_ + weight * (current - smoothed_));
    lastSample_ = now;
    lastBusyNs_ = busy;
    return smoothed_;
}

} // namespace tembrel::playback

// Spectrum of what the output is playing: the audio thread records the mono
// mix it hands to the device, the main thread turns the 1024 samples being
// heard into 512 magnitudes with a Hann-windowed FFT.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "playback/SoundLibrary.h"
#include "playback/SystemSoundLibrary.h"

namespace tembrel::playback {

class SpectrumAnalyzer {
public:
    static constexpr std::size_t kFftSize = 2 * kSpectrumSize;
    using Clock = std::chrono::steady_clock;

    // Speakers fed through a network buffer hear the music this much later.
    static constexpr std::chrono::milliseconds kMaxDelay{kMaxSpectrumDelayMs};
    // A buffer this much later than the previous one's end means the output
    // paused (a device on a busy machine can be late by less).
    static constexpr std::chrono::milliseconds kLongestJitter{250};

    // `bufferFrames` is the size of one output buffer: the history holds two
    // of them plus one FFT window, plus `delay` (clamped to kMaxDelay), by
    // which every spectrum trails what the output hands out.
    SpectrumAnalyzer(int sampleRate, std::size_t bufferFrames,
                     std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    void setActive(bool active) noexcept { active_.store(active, std::memory_order_relaxed); }
    [[nodiscard]] bool active() const noexcept { return active_.load(std::memory_order_relaxed); }

    // Audio thread: records the stereo buffer just handed to the device, which
    // starts playing at `when`. A buffer that starts well after the previous
    // one ended follows a pause of the output, kept as silence.
    void record(std::span<const float> interleavedStereo, Clock::time_point when) noexcept;

    // Main thread: magnitudes 0..1 of the samples heard at `now` minus the
    // delay (a full-scale sine gives about 1.0 in its bin); all zero once the
    // output has handed out nothing for that moment.
    void compute(Spectrum& out, Clock::time_point now);

private:
    struct FftState;

    // Frames from the start of the last buffer to the sample heard at `when`
    // (negative: an earlier buffer). Called with historyMutex_ held.
    [[nodiscard]] std::int64_t framesSinceLastBuffer(Clock::time_point when) const noexcept;
    void appendLocked(float sample) noexcept;
    [[nodiscard]] std::int64_t framesIn(std::chrono::milliseconds span) const noexcept;

    int sampleRate_;
    std::chrono::milliseconds delay_;
    std::atomic<bool> active_{false};

    std::mutex historyMutex_;    // guards everything up to lastBufferStart_
    std::vector<float> history_; // ring of mono samples, size a power of two
    std::uint64_t written_ = 0;  // samples recorded since the start
    std::uint64_t lastBufferFrames_ = 0;
    Clock::time_point lastBufferStart_{};

    std::unique_ptr<FftState> fft_; // used by the main thread only
};

} // namespace tembrel::playback

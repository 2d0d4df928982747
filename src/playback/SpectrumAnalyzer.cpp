// FFTW-based spectrum of the recent output.
#include "playback/SpectrumAnalyzer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include <fftw3.h>

namespace tembrel::playback {

namespace {

struct FftwFree {
    void operator()(void* memory) const noexcept { fftwf_free(memory); }
};

} // namespace

struct SpectrumAnalyzer::FftState {
    std::unique_ptr<float, FftwFree> input;
    std::unique_ptr<fftwf_complex, FftwFree> output;
    fftwf_plan plan = nullptr;
    std::array<float, kFftSize> window{};

    FftState()
        : input(static_cast<float*>(fftwf_malloc(sizeof(float) * kFftSize))),
          output(static_cast<fftwf_complex*>(
              fftwf_malloc(sizeof(fftwf_complex) * (kFftSize / 2 + 1)))) {
        plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kFftSize), input.get(), output.get(),
                                     FFTW_ESTIMATE);
        for (std::size_t i = 0; i < kFftSize; ++i) {
            window[i] = 0.5f - 0.5f * std::cos(2.0f * std::numbers::pi_v<float> *
                                               static_cast<float>(i) / kFftSize);
        }
    }
    ~FftState() {
        if (plan != nullptr) {
            fftwf_destroy_plan(plan);
        }
    }
    FftState(const FftState&) = delete;
    FftState& operator=(const FftState&) = delete;
};

SpectrumAnalyzer::SpectrumAnalyzer(int sampleRate, std::size_t bufferFrames,
                                   std::chrono::milliseconds delay)
    : sampleRate_(sampleRate), delay_(std::clamp(delay, std::chrono::milliseconds(0), kMaxDelay)),
      history_(std::bit_ceil(2 * bufferFrames + kFftSize +
                             static_cast<std::size_t>(delay_.count()) *
                                 static_cast<std::size_t>(sampleRate) / 1000),
               0.0f),
      fft_(std::make_unique<FftState>()) {}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

std::int64_t SpectrumAnalyzer::framesSinceLastBuffer(Clock::time_point when) const noexcept {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(when - lastBufferStart_);
    return elapsed.count() * sampleRate_ / 1000000;
}

std::int64_t SpectrumAnalyzer::framesIn(std::chrono::milliseconds span) const noexcept {
    return span.count() * sampleRate_ / 1000;
}

void SpectrumAnalyzer::appendLocked(float sample) noexcept {
    history_[written_ & (history_.size() - 1)] = sample;
    ++written_;
}

void SpectrumAnalyzer::record(std::span<const float> interleavedStereo,
                              Clock::time_point when) noexcept {
    const std::size_t frames = interleavedStereo.size() / 2;
    const std::lock_guard lock(historyMutex_);
    if (written_ > 0) {
        // Later than a device's jitter explains: the output paused. The
        // pause goes in as silence so that the history stays in step with
        // the clock and a delayed spectrum shows silence there.
        const std::int64_t gap =
            framesSinceLastBuffer(when) - static_cast<std::int64_t>(lastBufferFrames_);
        if (gap > framesIn(kLongestJitter)) {
            const auto silence = std::min(static_cast<std::uint64_t>(gap), history_.size());
            for (std::uint64_t i = 0; i < silence; ++i) {
                appendLocked(0.0f);
            }
        }
    }
    for (std::size_t i = 0; i < frames; ++i) {
        appendLocked(0.5f * (interleavedStereo[2 * i] + interleavedStereo[2 * i + 1]));
    }
    lastBufferFrames_ = frames;
    lastBufferStart_ = when;
}

void SpectrumAnalyzer::compute(Spectrum& out, Clock::time_point now) {
    float* input = fft_->input.get();
    bool silent = true;
    {
        const std::lock_guard lock(historyMutex_);
        const auto lastFrames = static_cast<std::int64_t>(lastBufferFrames_);
        // The sample being heard: inside the last buffer handed out, or in an
        // earlier one when the output plays ahead or the spectrum trails.
        const std::int64_t offset = framesSinceLastBuffer(now - delay_);
        // Long past the last buffer nothing is being handed out: the output
        // sleeps while nothing plays.
        const bool stale = offset > lastFrames + framesIn(kLongestJitter);
        const auto written = static_cast<std::int64_t>(written_);
        const std::int64_t end = written - lastFrames + std::min(offset, lastFrames);
        const std::int64_t oldest =
            std::max<std::int64_t>(0, written - static_cast<std::int64_t>(history_.size()));
        const std::size_t mask = history_.size() - 1;
        for (std::size_t i = 0; i < kFftSize; ++i) {
            const std::int64_t index = end - static_cast<std::int64_t>(kFftSize - i);
            const float sample = !stale && index >= oldest && index < written
                                     ? history_[static_cast<std::size_t>(index) & mask]
                                     : 0.0f;
            input[i] = sample * fft_->window[i];
            silent = silent && sample == 0.0f;
        }
    }
    if (silent) {
        out.fill(0.0f);
        return;
    }
    fftwf_execute(fft_->plan);
    // A Hann window keeps half the amplitude: 4 / N maps a full-scale sine to 1.
    constexpr float kScale = 4.0f / static_cast<float>(kFftSize);
    const fftwf_complex* bins = fft_->output.get();
    for (std::size_t k = 0; k < kSpectrumSize; ++k) {
        const float magnitude = std::hypot(bins[k][0], bins[k][1]) * kScale;
        out[k] = std::min(magnitude, 1.0f);
    }
}

} // namespace tembrel::playback

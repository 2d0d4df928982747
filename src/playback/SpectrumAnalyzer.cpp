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

SpectrumAnalyzer::SpectrumAnalyzer(int sampleRate, std::size_t bufferFrames)
    : sampleRate_(sampleRate), history_(std::bit_ceil(2 * bufferFrames + kFftSize), 0.0f),
      fft_(std::make_unique<FftState>()) {}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

void SpectrumAnalyzer::record(std::span<const float> interleavedStereo,
                              Clock::time_point when) noexcept {
    const std::size_t frames = interleavedStereo.size() / 2;
    const std::size_t mask = history_.size() - 1;
    const std::lock_guard lock(historyMutex_);
    for (std::size_t i = 0; i < frames; ++i) {
        history_[(written_ + i) & mask] =
            0.5f * (interleavedStereo[2 * i] + interleavedStereo[2 * i + 1]);
    }
    written_ += frames;
    lastBufferFrames_ = frames;
    lastBufferStart_ = when;
}

void SpectrumAnalyzer::compute(Spectrum& out, Clock::time_point now) {
    float* input = fft_->input.get();
    bool silent = true;
    {
        const std::lock_guard lock(historyMutex_);
        // The sample being heard now lies inside the last buffer handed out.
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::max(now - lastBufferStart_, Clock::duration::zero()));
        const auto heard =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(elapsed.count()) *
                                        static_cast<std::uint64_t>(sampleRate_) / 1000000,
                                    lastBufferFrames_);
        const std::uint64_t end = written_ - lastBufferFrames_ + heard;
        const std::size_t mask = history_.size() - 1;
        for (std::size_t i = 0; i < kFftSize; ++i) {
            const std::uint64_t index = end - kFftSize + i; // wraps below zero: unused
            const float sample = end >= kFftSize - i ? history_[index & mask] : 0.0f;
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

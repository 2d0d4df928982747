// Turns the mixer's float stereo at the mixing rate into signed 16-bit
// little-endian stereo at another rate, with FFmpeg's resampler, keeping the
// resampler's state from one buffer to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct SwrContext;

namespace tembrel::playback {

class PcmConverter {
public:
    static constexpr std::size_t kChannels = 2;
    static constexpr std::size_t kFrameBytes = kChannels * sizeof(std::int16_t);

    // nullptr when FFmpeg refuses the rates.
    [[nodiscard]] static std::unique_ptr<PcmConverter> create(int inputRate, int outputRate);
    ~PcmConverter();
    PcmConverter(const PcmConverter&) = delete;
    PcmConverter& operator=(const PcmConverter&) = delete;

    // Converts interleaved stereo floats; the bytes stay valid until the next
    // call. Empty when the resampler fails.
    [[nodiscard]] std::span<const std::uint8_t> convert(std::span<const float> interleaved);
    // Forgets the samples the resampler holds back, so music played later
    // does not start with the end of what played before a pause.
    void reset() noexcept;

private:
    struct SwrFree {
        void operator()(SwrContext* context) const noexcept;
    };
    explicit PcmConverter(SwrContext* context) noexcept : context_(context) {}

    std::unique_ptr<SwrContext, SwrFree> context_;
    std::vector<std::int16_t> output_;
};

} // namespace tembrel::playback

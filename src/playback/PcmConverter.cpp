// FFmpeg resampling from the mixer's format to 16-bit PCM for a pipe.
#include "playback/PcmConverter.h"

#include <bit>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace tembrel::playback {

static_assert(std::endian::native == std::endian::little,
              "the pipe carries little-endian samples, written as the machine holds them");

void PcmConverter::SwrFree::operator()(SwrContext* context) const noexcept {
    swr_free(&context);
}

std::unique_ptr<PcmConverter> PcmConverter::create(int inputRate, int outputRate) {
    SwrContext* raw = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO; // not const: FFmpeg 5 takes it so
    if (swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, outputRate, &stereo,
                            AV_SAMPLE_FMT_FLT, inputRate, 0, nullptr) < 0) {
        return nullptr;
    }
    std::unique_ptr<PcmConverter> converter(new PcmConverter(raw));
    if (swr_init(raw) < 0) {
        return nullptr;
    }
    return converter;
}

PcmConverter::~PcmConverter() = default;

std::span<const std::uint8_t> PcmConverter::convert(std::span<const float> interleaved) {
    const int inFrames = static_cast<int>(interleaved.size() / kChannels);
    const int capacity = swr_get_out_samples(context_.get(), inFrames);
    if (capacity <= 0) {
        return {};
    }
    output_.resize(static_cast<std::size_t>(capacity) * kChannels);
    auto* out = reinterpret_cast<std::uint8_t*>(output_.data());
    const auto* in = reinterpret_cast<const std::uint8_t*>(interleaved.data());
    const int frames = swr_convert(context_.get(), &out, capacity, &in, inFrames);
    if (frames <= 0) {
        return {};
    }
    return {out, static_cast<std::size_t>(frames) * kFrameBytes};
}

void PcmConverter::reset() noexcept {
    swr_init(context_.get()); // drops the samples held back for the filter
}

} // namespace tembrel::playback

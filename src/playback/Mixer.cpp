// Mixing of the playing channels into one output buffer.
#include "playback/Mixer.h"

#include <algorithm>
#include <span>

namespace tembrel::playback {

Mixer::Mixer(int channelCount, EndNotice onEnd, SpectrumAnalyzer& spectrum, CpuMeter& cpu)
    : onEnd_(std::move(onEnd)), spectrum_(spectrum), cpu_(cpu),
      channels_(static_cast<std::size_t>(std::max(channelCount, 1))) {}

bool Mixer::idle() const {
    const std::lock_guard lock(mutex_);
    return std::all_of(channels_.begin(), channels_.end(),
                       [](const Channel& channel) { return channel.stream == nullptr; });
}

int Mixer::freeChannel() const {
    const std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        if (channels_[i].stream == nullptr) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Mixer::attach(int channel, PlaybackStream& stream) {
    const std::lock_guard lock(mutex_);
    for (Channel& entry : channels_) {
        if (entry.stream == &stream) {
            entry.stream = nullptr;
        }
    }
    channels_[static_cast<std::size_t>(channel)].stream = &stream;
}

void Mixer::detach(const PlaybackStream& stream) {
    const std::lock_guard lock(mutex_);
    for (Channel& entry : channels_) {
        if (entry.stream == &stream) {
            entry.stream = nullptr;
        }
    }
}

void Mixer::setGain(int channel, float gain) {
    const std::lock_guard lock(mutex_);
    channels_[static_cast<std::size_t>(channel)].gain = gain;
}

bool Mixer::render(float* out, std::size_t frames, CpuMeter::Clock::duration lead) noexcept {
    const auto start = CpuMeter::Clock::now();
    bool playing = false;
    std::fill_n(out, frames * FfmpegDecoder::kOutputChannels, 0.0f);
    {
        const std::lock_guard lock(mutex_);
        for (const Channel& channel : channels_) {
            if (channel.stream == nullptr) {
                continue;
            }
            const PlaybackStream::Pull pull = channel.stream->mixInto(out, frames, channel.gain);
            playing = playing || pull.playing;
            if (pull.endedNow && onEnd_) {
                onEnd_(channel.stream->handle(), pull.generation);
            }
        }
    }
    const std::size_t samples = frames * FfmpegDecoder::kOutputChannels;
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
    if (spectrum_.active()) {
        spectrum_.record(std::span<const float>(out, samples), start + lead);
    }
    cpu_.addBusy(CpuMeter::Clock::now() - start);
    return playing;
}

} // namespace tembrel::playback

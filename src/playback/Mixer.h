// The output callback's work: mixes the streams playing on the library's
// channels with each channel's gain, feeds the spectrum and reports streams
// that have played to their end.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "playback/CpuMeter.h"
#include "playback/PlaybackStream.h"
#include "playback/SpectrumAnalyzer.h"

namespace tembrel::playback {

class Mixer {
public:
    // Called on the output thread when a stream took its last sample.
    using EndNotice = std::function<void(StreamHandle, std::uint64_t generation)>;

    Mixer(int channelCount, EndNotice onEnd, SpectrumAnalyzer& spectrum, CpuMeter& cpu);

    // Main thread.
    [[nodiscard]] bool isChannel(int channel) const noexcept {
        return channel >= 0 && channel < static_cast<int>(channels_.size());
    }
    // True when no stream is attached to any channel.
    [[nodiscard]] bool idle() const;
    // A channel with nothing attached, or -1.
    [[nodiscard]] int freeChannel() const;
    // Plays `stream` on `channel`, replacing what played there; a stream plays
    // on one channel at a time.
    void attach(int channel, PlaybackStream& stream);
    // Stops `stream` wherever it plays. Once this returns, the output thread no
    // longer touches it.
    void detach(const PlaybackStream& stream);
    void setGain(int channel, float gain);

    // Output thread: fills `out` (interleaved stereo) with the next `frames`
    // frames, which the listener hears `lead` from now (what the output has
    // queued ahead of them). True while a stream plays: false once every
    // channel is empty or has played to its end.
    bool render(float* out, std::size_t frames, CpuMeter::Clock::duration lead = {}) noexcept;

private:
    struct Channel {
        PlaybackStream* stream = nullptr; // not owned: the library's stream table owns it
        float gain = 1.0f;
    };

    EndNotice onEnd_;
    SpectrumAnalyzer& spectrum_;
    CpuMeter& cpu_;
    mutable std::mutex mutex_; // guards channels_
    std::vector<Channel> channels_;
};

} // namespace tembrel::playback

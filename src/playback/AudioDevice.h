// What the sound library keeps of its output once it is open: the device
// pulls mixed audio on a thread of its own until it is destroyed.
#pragma once

namespace tembrel::playback {

class AudioDevice {
public:
    AudioDevice() = default;
    virtual ~AudioDevice() = default; // stops the device; no render call runs after this
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Main thread: a stream may have started playing. A device that sleeps
    // while nothing plays starts pulling again; the others ignore it.
    virtual void wake() noexcept {}
};

} // namespace tembrel::playback

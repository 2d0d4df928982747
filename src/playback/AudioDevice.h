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

    // Main thread, once a stream is attached: a device that was closed or
    // sleeps while nothing plays starts pulling again. False when it cannot
    // be opened again.
    [[nodiscard]] virtual bool wake() { return true; }
    // Main thread, when nothing has played for a while: a device that does
    // not sleep by itself may close until the next wake().
    virtual void rest() {}
};

} // namespace tembrel::playback

// The audio device: SDL2 output pulling float stereo from a render function,
// or SDL's dummy driver, which pulls in real time without making a sound.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "playback/AudioDevice.h"
#include "playback/SystemSoundLibrary.h"

namespace tembrel::playback {

class SdlOutput final : public AudioDevice {
public:
    // Fills `frames` interleaved stereo float frames; runs on SDL's audio thread.
    using Render = std::function<void(float* out, std::size_t frames)>;
    using Log = std::function<void(std::string_view)>;

    // Frames per device buffer: large, so the output thread wakes about ten
    // times a second.
    static constexpr int kBufferFrames = 4096;

    // Opens the device and starts pulling. With AudioOutput::Auto a device that
    // cannot be opened is replaced by the silent output, with one line to `log`.
    // Returns nullptr when no output at all can be opened.
    [[nodiscard]] static std::unique_ptr<SdlOutput> open(AudioOutput output, int rate,
                                                         Render render, const Log& log);
    ~SdlOutput() override;

    [[nodiscard]] std::size_t bufferFrames() const noexcept { return bufferFrames_; }

    // Closes the device, whose thread then ends, so that nothing wakes up
    // while nothing plays; no render call runs after this. resume() opens it
    // again with the same format. Main thread.
    void suspend();
    [[nodiscard]] bool resume();
    [[nodiscard]] bool suspended() const noexcept { return device_ == 0; }

    [[nodiscard]] bool wake() override { return resume(); }
    void rest() override { suspend(); }

private:
    SdlOutput(Render render, int rate) noexcept : render_(std::move(render)), rate_(rate) {}
    static void callback(void* self, unsigned char* stream, int length) noexcept;

    Render render_;
    int rate_;
    unsigned device_ = 0;
    std::size_t bufferFrames_ = kBufferFrames;
};

} // namespace tembrel::playback

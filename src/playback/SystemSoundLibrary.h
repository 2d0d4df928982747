#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

enum class AudioOutput {
    Auto, // the default device; the silent real-time output when none opens
    Null, // always the silent real-time output
};

// The real sound library: FFmpeg decoding on an audio thread, SDL2 output,
// FFTW spectrum, TagLib tags. `log` receives one-line notices (such as the
// fallback to the silent output).
[[nodiscard]] std::unique_ptr<SoundLibrary>
createSystemSoundLibrary(AudioOutput output, std::function<void(std::string_view)> log = {});

} // namespace tembrel::playback

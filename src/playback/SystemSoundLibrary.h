#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

enum class AudioOutput {
    Auto,     // the default device; the silent real-time output when none opens
    Null,     // always the silent real-time output
    Snapcast, // a named pipe read by a Snapcast server, paced like the silent output
};

// The longest a spectrum can trail the output.
inline constexpr int kMaxSpectrumDelayMs = 10000;

struct OutputSettings {
    AudioOutput output = AudioOutput::Auto;
    std::string snapcastPipe; // the named pipe, for AudioOutput::Snapcast
    // The spectrum shows what the output handed out this long ago, for
    // speakers that play behind it (such as Snapcast's clients).
    int spectrumDelayMs = 0;
};

// The real sound library: FFmpeg decoding on an audio thread, SDL2 output or
// the Snapcast pipe, FFTW spectrum, TagLib tags. `log` receives one-line
// notices (such as the fallback to the silent output), from any thread.
[[nodiscard]] std::unique_ptr<SoundLibrary>
createSystemSoundLibrary(OutputSettings settings, std::function<void(std::string_view)> log = {});
[[nodiscard]] std::unique_ptr<SoundLibrary>
createSystemSoundLibrary(AudioOutput output, std::function<void(std::string_view)> log = {});

} // namespace tembrel::playback

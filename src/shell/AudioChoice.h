// The audio output as a user writes it, on the command line ("--audio") or in
// the settings file ("AudioOutput"): "auto", "null" or "snapcast:PATH"; and
// how the flags and the stored values combine into the sound library's
// output settings.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "playback/SystemSoundLibrary.h"

namespace tembrel::shell {

class SettingsStore;
struct ServerOptions;

struct AudioChoice {
    playback::AudioOutput output = playback::AudioOutput::Auto;
    std::string snapcastPipe; // for AudioOutput::Snapcast

    bool operator==(const AudioChoice&) const = default;
};

inline constexpr std::string_view kSnapcastPrefix = "snapcast:";

// nullopt when the text names no output (or "snapcast:" names no pipe).
[[nodiscard]] std::optional<AudioChoice> parseAudioChoice(std::string_view text);
// A whole number of milliseconds from 0 to playback::kMaxSpectrumDelayMs, or
// nullopt.
[[nodiscard]] std::optional<int> parseSpectrumDelay(std::string_view text);

// The flags win over the stored values, which win over the defaults (the
// default device, no delay). A stored value that cannot be used is reported
// through `log` and ignored.
[[nodiscard]] playback::OutputSettings
outputSettings(const ServerOptions& options, const SettingsStore& store,
               const std::function<void(std::string_view)>& log);

} // namespace tembrel::shell

// Parsing of the audio output choice and the spectrum delay, and their
// precedence between the command line and the settings file.
#include "shell/AudioChoice.h"

#include <charconv>

#include "shell/ServerOptions.h"
#include "shell/SettingsStore.h"

namespace tembrel::shell {

std::optional<AudioChoice> parseAudioChoice(std::string_view text) {
    if (text == "auto") {
        return AudioChoice{};
    }
    if (text == "null") {
        return AudioChoice{playback::AudioOutput::Null, {}};
    }
    if (text.starts_with(kSnapcastPrefix) && text.size() > kSnapcastPrefix.size()) {
        return AudioChoice{playback::AudioOutput::Snapcast,
                           std::string(text.substr(kSnapcastPrefix.size()))};
    }
    return std::nullopt;
}

std::optional<int> parseSpectrumDelay(std::string_view text) {
    int milliseconds = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
    if (ec != std::errc{} || end != text.data() + text.size() || milliseconds < 0 ||
        milliseconds > playback::kMaxSpectrumDelayMs) {
        return std::nullopt;
    }
    return milliseconds;
}

playback::OutputSettings outputSettings(const ServerOptions& options, const SettingsStore& store,
                                        const std::function<void(std::string_view)>& log) {
    const StoredOutput stored = store.loadOutput();
    std::optional<AudioChoice> audio = options.audio;
    if (!audio && stored.audio) {
        audio = parseAudioChoice(*stored.audio);
        if (!audio && log) {
            log("The stored AudioOutput \"" + *stored.audio +
                "\" is not auto, null or snapcast:PATH; using the default device");
        }
    }
    std::optional<int> delay = options.spectrumDelayMs;
    if (!delay && stored.spectrumDelay) {
        delay = parseSpectrumDelay(*stored.spectrumDelay);
        if (!delay && log) {
            log("The stored SpectrumDelay \"" + *stored.spectrumDelay +
                "\" is not a number of milliseconds from 0 to " +
                std::to_string(playback::kMaxSpectrumDelayMs) + "; the spectrum is not delayed");
        }
    }
    const AudioChoice choice = audio.value_or(AudioChoice{});
    return {choice.output, choice.snapcastPipe, delay.value_or(0)};
}

} // namespace tembrel::shell

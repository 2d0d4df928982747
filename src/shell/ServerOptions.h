#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "playback/SystemSoundLibrary.h"
#include "remote/SpectrumState.h"

namespace tembrel::shell {

// What the command line asks for. Flags override the stored settings for
// this run only.
struct ServerOptions {
    bool headless = false;
    // Show the window at start even where a notification area would hide it.
    bool showWindow = false;
    std::optional<int> port;
    std::vector<std::string> locations; // up to five, Location1 first
    playback::AudioOutput audio = playback::AudioOutput::Auto;
    std::filesystem::path uploadDir; // empty: the default under the XDG data folder
    std::optional<remote::SpectrumRate> spectrum;
    std::optional<std::filesystem::path> settingsFile; // INI file instead of the default store
};

} // namespace tembrel::shell

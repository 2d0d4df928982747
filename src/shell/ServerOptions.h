#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QHostAddress>

#include "net/AddressPolicy.h"
#include "playback/SystemSoundLibrary.h"
#include "remote/SpectrumState.h"

namespace tembrel::shell {

// What the command line asks for. Flags override the stored settings for
// this run only.
struct ServerOptions {
    bool headless = false;
    std::optional<int> port;
    std::vector<std::string> locations; // up to five, Location1 first
    playback::AudioOutput audio = playback::AudioOutput::Auto;
    std::filesystem::path uploadDir; // empty: the default under the XDG data folder
    std::optional<remote::SpectrumRate> spectrum;
    std::optional<std::filesystem::path> settingsFile; // INI file instead of the default store
    // Empty: as stored in the settings, else every interface.
    std::vector<QHostAddress> listen;
    // Empty: as stored in the settings, else the local networks.
    std::vector<net::AddressPolicy::Network> allow;
};

} // namespace tembrel::shell

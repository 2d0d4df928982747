#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "library/AudioFormats.h"
#include <QHostAddress>

#include "net/AddressPolicy.h"
#include "playback/SystemSoundLibrary.h"
#include "remote/SpectrumState.h"
#include "shell/AudioChoice.h"

namespace tembrel::shell {

// What the command line asks for. Flags override the stored settings for
// this run only.
struct ServerOptions {
    bool headless = false;
    // Show the window at start even where a notification area would hide it.
    bool showWindow = false;
    std::optional<int> port;
    std::vector<std::string> locations; // up to five, Location1 first
    std::optional<AudioChoice> audio;   // none: the stored choice, else the default device
    std::optional<int> spectrumDelayMs;
    std::filesystem::path uploadDir;               // empty: the default under the XDG data folder
    std::optional<std::uint64_t> uploadQuotaBytes; // none: the stored setting or 2G
    std::optional<remote::SpectrumRate> spectrum;
    std::optional<std::filesystem::path> settingsFile; // INI file instead of the default store
    // The web remote's port for this run (0: a free port); `webOff` turns the
    // web remote off, `webOn` turns it on although the stored port is 0.
    std::optional<int> webPort;
    bool webOff = false;
    bool webOn = false;
    std::optional<library::AudioFormats> formats; // overrides the stored Formats
    // Empty: as stored in the settings, else every interface.
    std::vector<QHostAddress> listen;
    // Empty: as stored in the settings, else the local networks.
    std::vector<net::AddressPolicy::Network> allow;
};

} // namespace tembrel::shell

#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ProtocolConstants.h"
#include "web/WebRemote.h"

class QSettings;

namespace tembrel::shell {

// What the store gives back at start-up, after the marker rules.
struct LoadedSettings {
    std::string portText = std::to_string(protocol::kDefaultPort);
    std::array<std::string, 5> locations{};
    int volume = protocol::kDefaultVolume;
    int dspCode = 1; // as stored; 0 when nothing was stored (first run): nothing to apply
    // The web remote's port; 0 turns it off. Not written by the window: set
    // in the file itself.
    int webPort = web::WebRemote::kDefaultPort;
    // The audio formats to list ("mp3,flac"); nothing: the defaults. Only read:
    // it is set by editing the settings file.
    std::optional<std::string> formats;
    // Whether the playlist and the position are kept from one run to the next.
    bool keepPlaylist = true;
    // "Listen" and "Allow": addresses to listen on and networks admitted,
    // as written in the file (comma-separated); empty when not set. Only
    // read: they are set by editing the file.
    std::vector<std::string> listen;
    std::vector<std::string> allow;
};

// The output values, which only the user writes into the file: texts as
// stored, nothing when missing.
struct StoredOutput {
    std::optional<std::string> audio;         // "AudioOutput"
    std::optional<std::string> spectrumDelay; // "SpectrumDelay", milliseconds
    std::optional<std::string> uploadQuota;   // "UploadQuota", a size such as 2G
};

// Persists the port, the five Locations, the volume and the spectrum rate
// between runs (QSettings: organisation "Orvanik", application "Quenmark",
// group "Settings"; or an INI file at a given path).
class SettingsStore {
public:
    using LogSink = std::function<void(std::string_view line)>;

    // No path: the default per-user store.
    explicit SettingsStore(std::optional<std::filesystem::path> iniFile = std::nullopt,
                           LogSink log = {});
    ~SettingsStore();

    [[nodiscard]] LoadedSettings load() const;
    // Read before the sound library starts; silent, since load() reports a
    // file that cannot be read.
    [[nodiscard]] StoredOutput loadOutput() const;
    // The connection and library group (the save button).
    void saveConnection(std::string_view portText, const std::array<std::string, 5>& locations);
    // The playback group (every exit).
    void savePlayback(int volume, int dspCode);

private:
    [[nodiscard]] std::unique_ptr<QSettings> open() const;

    std::optional<std::filesystem::path> iniFile_;
    LogSink log_;
};

} // namespace tembrel::shell

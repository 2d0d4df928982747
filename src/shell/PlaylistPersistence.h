// Keeps the playlist across runs: puts the saved one back once at start, then
// saves it every few seconds when it has changed, and once more at exit.
#pragma once

#include <QTimer>

#include <functional>
#include <optional>
#include <string_view>

#include "shell/PlaylistStateFile.h"
#include "shell/SavedPlaylist.h"

namespace tembrel::shell {

class PlaylistPersistence {
public:
    using LogSink = std::function<void(std::string_view line)>;

    // How often the playlist (and the position in the playing track) is
    // written while the server runs: what a crash or a power cut can lose.
    static constexpr int kSaveIntervalMs = 5000;

    PlaylistPersistence(PlaylistStateFile file, PlaylistKeeper& keeper, LogSink log);

    // Reads the file and hands what it holds to the keeper; says so in the log.
    void restore();
    // Starts the periodic saving.
    void start();
    // Saves now if anything changed since the last save (the exit steps).
    void save();

    [[nodiscard]] const PlaylistStateFile& file() const noexcept { return file_; }

private:
    PlaylistStateFile file_;
    PlaylistKeeper& keeper_;
    LogSink log_;
    QTimer timer_;
    std::optional<SavedPlaylist> lastSaved_;
    // A failing disk is reported once, not every few seconds.
    bool failureReported_ = false;
};

} // namespace tembrel::shell

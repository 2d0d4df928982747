// The periodic and final saves of the kept playlist, and its restoring.
#include "shell/PlaylistPersistence.h"

#include <string>

namespace tembrel::shell {

PlaylistPersistence::PlaylistPersistence(PlaylistStateFile file, PlaylistKeeper& keeper,
                                         LogSink log)
    : file_(std::move(file)), keeper_(keeper), log_(std::move(log)) {
    timer_.setInterval(kSaveIntervalMs);
    timer_.callOnTimeout([this] { save(); });
}

void PlaylistPersistence::restore() {
    const std::optional<SavedPlaylist> saved = file_.load();
    if (!saved) {
        return;
    }
    keeper_.restore(*saved);
    lastSaved_ = keeper_.snapshot();
    if (log_ && !saved->entries.empty()) {
        log_("Playlist restored: " + std::to_string(saved->entries.size()) + " tracks");
    }
}

void PlaylistPersistence::start() {
    timer_.start();
}

void PlaylistPersistence::save() {
    SavedPlaylist now = keeper_.snapshot();
    if (lastSaved_ == now) {
        return;
    }
    std::string error;
    if (!file_.save(now, &error)) {
        if (!failureReported_ && log_) {
            log_("The playlist cannot be kept in " + file_.path().string() + ": " + error);
        }
        failureReported_ = true;
        return;
    }
    failureReported_ = false;
    lastSaved_ = std::move(now);
}

} // namespace tembrel::shell

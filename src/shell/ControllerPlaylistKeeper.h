// The running server's side of keeping the playlist: reads the playlist, the
// play state and the position from the controller, and puts a saved playlist
// back, resuming where it was once the sound library has started.
#pragma once

#include <optional>

#include "remote/CServerDlg.h"
#include "shell/SavedPlaylist.h"

namespace tembrel::shell {

class ControllerPlaylistKeeper final : public PlaylistKeeper {
public:
    explicit ControllerPlaylistKeeper(remote::CServerDlg& controller) noexcept
        : controller_(controller) {}

    [[nodiscard]] SavedPlaylist snapshot() const override;
    // Puts the entries, the current entry and the switches back; playing or
    // pausing at the saved position waits for resumePlayback().
    void restore(const SavedPlaylist& saved) override;
    // Once the server has started: plays the current entry from the saved
    // position, paused if it was paused. Runs once.
    void resumePlayback();

private:
    remote::CServerDlg& controller_;
    struct Resume {
        std::int64_t positionMs = 0;
        bool paused = false;
    };
    std::optional<Resume> resume_;
};

} // namespace tembrel::shell

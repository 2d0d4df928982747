// The jukebox's state as the client learns it from the status broadcast and
// the join replies.
#pragma once

#include <optional>
#include <string>

#include "net/CNDKMessage.h"
#include "protocol/Replies.h"

namespace tembrel::client {

struct TrackInfo {
    std::string title, album, artist;
};

struct PlayerStatus {
    std::optional<TrackInfo> current; // none while the playlist is empty
    int trackNumber = 0;              // 1-based; 0 when the playlist is empty
    std::string state;                // one of the play state texts
    int volumePercent = 0;
    int playlistLength = 0;
    std::string elapsed{protocol::kNoElapsedText};
    std::optional<int> positionSeconds, lengthSeconds; // only while playing
    std::optional<bool> shuffle, repeat;
};

// Folds status replies into a PlayerStatus.
class StatusTracker {
public:
    // True when `message` was a status or switch reply (and has been applied).
    bool apply(const net::CNDKMessage& message);
    // True right after the last reply of a status broadcast was applied.
    [[nodiscard]] bool pushEnded() const noexcept { return pushEnded_; }
    [[nodiscard]] bool seen() const noexcept { return seen_; }
    [[nodiscard]] const PlayerStatus& status() const noexcept { return status_; }

private:
    PlayerStatus status_;
    bool pushEnded_ = false;
    bool seen_ = false;
};

} // namespace tembrel::client

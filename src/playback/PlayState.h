#pragma once

#include <string_view>

#include "protocol/Replies.h"

namespace tembrel::playback {

enum class PlayState { Stopped, Playing, Paused };

// The texts that ^Status carries.
[[nodiscard]] constexpr std::string_view playStateText(PlayState state) noexcept {
    switch (state) {
    case PlayState::Playing:
        return protocol::kPlayingText;
    case PlayState::Paused:
        return protocol::kPausedText;
    case PlayState::Stopped:
        break;
    }
    return protocol::kStoppedText;
}

} // namespace tembrel::playback

#pragma once

#include <string_view>

namespace tembrel::playback {

enum class PlayState { Stopped, Playing, Paused };

// The texts that status replies carry.
[[nodiscard]] constexpr std::string_view playStateText(PlayState state) noexcept {
    switch (state) {
    case PlayState::Playing:
        return "Playing";
    case PlayState::Paused:
        return "Paused";
    case PlayState::Stopped:
        break;
    }
    return "Stopped";
}

} // namespace tembrel::playback

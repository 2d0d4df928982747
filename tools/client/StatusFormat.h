// The player status as text for people and as JSON for scripts.
#pragma once

#include <string>

#include "Json.h"
#include "PlayerStatus.h"

namespace tembrel::client {

// "0:05 / 3:20" while playing, else the elapsed text alone ("-:--").
[[nodiscard]] std::string positionText(const PlayerStatus& status);
// A few lines: track, state and position, volume, switches, playlist length.
[[nodiscard]] std::string statusText(const PlayerStatus& status);
// One line for live logs.
[[nodiscard]] std::string statusLine(const PlayerStatus& status);
[[nodiscard]] Json statusJson(const PlayerStatus& status);

} // namespace tembrel::client

// Turns the seek argument into the server's seek commands: steps forward or
// back within the track for +S and -S, one jump to a slider position for a
// percentage.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/Commands.h"
#include "protocol/ProtocolConstants.h"

namespace tembrel::client {

// The server moves by this much per step.
inline constexpr int kSeekStepSeconds = protocol::kSeekStepMs / 1000;
// The most a relative seek may move: one hour, 1800 steps.
inline constexpr int kMaxRelativeSeekSeconds = 3600;

struct SeekPlan {
    protocol::Command command; // SeekForward, SeekBack or SetTime
    std::string argument;      // SetTime only: the slider position
    int repeat = 1;
};

// Nothing when `text` is not +S, -S (S from 1 to the limit) or a percentage
// 0..100 (a trailing "%" allowed).
[[nodiscard]] std::optional<SeekPlan> planSeek(std::string_view text);

} // namespace tembrel::client

// Turns the seek argument into the server's seek commands: 2-second steps
// ("Next"/"Prev") for +S and -S, one "SetTime" for a percentage.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrel::client {

// The server moves by this much per "Next" or "Prev".
inline constexpr int kSeekStepSeconds = 2;
// "SetTime" takes the position as a fraction of the track in 0..284.
inline constexpr int kSetTimeScale = 284;
// The most a relative seek may move: one hour, 1800 steps.
inline constexpr int kMaxRelativeSeekSeconds = 3600;

struct SeekPlan {
    std::string command;  // "Next", "Prev" or "SetTime"
    std::string argument; // "SetTime" only
    int repeat = 1;
};

// Nothing when `text` is not +S, -S (S from 1 to the limit) or a percentage
// 0..100 (a trailing "%" allowed).
[[nodiscard]] std::optional<SeekPlan> planSeek(std::string_view text);

} // namespace tembrel::client

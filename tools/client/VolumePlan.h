// Plans the "Up", "Down" and "Mute" commands that bring the server's volume
// to about a given percentage: the server only steps its 0-255 volume by 16
// and reports it as a truncated percentage.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrel::client {

struct VolumePlan {
    std::string_view command; // "Up", "Down" or "Mute"; empty: nothing to send
    int repeat = 0;
};

// What `vol` was asked for: a percentage to reach, or a change by points.
struct VolumeRequest {
    enum class Kind { Absolute, Relative, Up, Down, Mute };
    Kind kind = Kind::Absolute;
    int percent = 0; // Absolute: 0-100; Relative: -100 to 100
};

// "up", "down", "mute", "N", "+N", "-N" (N from 0 to 100, a trailing % allowed).
[[nodiscard]] std::optional<VolumeRequest> parseVolumeRequest(std::string_view text);

// The steps from the volume the server reports (a percentage) to the request.
[[nodiscard]] VolumePlan planVolume(int currentPercent, const VolumeRequest& request);

} // namespace tembrel::client

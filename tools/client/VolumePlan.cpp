// Volume planning: the server's volume is 0-255, changed in steps of 16 and
// reported as volume x 100 / 255, truncated.
#include "VolumePlan.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tembrel::client {

namespace {

constexpr int kMaxVolume = 255;
constexpr int kVolumeStep = 16;
constexpr int kMaxPercent = 100;
// The server's own multiplier from volume to percent.
constexpr double kPercentPerStep = 0.3921568627450981;

[[nodiscard]] int percentOf(int volume) noexcept {
    return static_cast<int>(volume * kPercentPerStep);
}

// The lowest and highest volume the server reports as `percent`.
[[nodiscard]] std::pair<int, int> volumesOf(int percent) noexcept {
    int low = kMaxVolume;
    int high = 0;
    for (int volume = 0; volume <= kMaxVolume; ++volume) {
        if (percentOf(volume) == percent) {
            low = std::min(low, volume);
            high = std::max(high, volume);
        }
    }
    return low <= high ? std::pair{low, high} : std::pair{0, 0};
}

[[nodiscard]] std::optional<int> parsePercent(std::string_view text) {
    if (text.ends_with('%')) {
        text.remove_suffix(1);
    }
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0 ||
        value > kMaxPercent) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<VolumeRequest> parseVolumeRequest(std::string_view text) {
    using Kind = VolumeRequest::Kind;
    if (text == "up") {
        return VolumeRequest{Kind::Up, 0};
    }
    if (text == "down") {
        return VolumeRequest{Kind::Down, 0};
    }
    if (text == "mute") {
        return VolumeRequest{Kind::Mute, 0};
    }
    if (text.starts_with('+') || text.starts_with('-')) {
        const auto points = parsePercent(text.substr(1));
        if (!points) {
            return std::nullopt;
        }
        return VolumeRequest{Kind::Relative, text.front() == '-' ? -*points : *points};
    }
    const auto percent = parsePercent(text);
    if (!percent) {
        return std::nullopt;
    }
    return VolumeRequest{Kind::Absolute, *percent};
}

VolumePlan planVolume(int currentPercent, const VolumeRequest& request) {
    using Kind = VolumeRequest::Kind;
    switch (request.kind) {
    case Kind::Up:
        return {"Up", 1};
    case Kind::Down:
        return {"Down", 1};
    case Kind::Mute:
        return {"Mute", 1};
    case Kind::Absolute:
    case Kind::Relative:
        break;
    }
    const int current = std::clamp(currentPercent, 0, kMaxPercent);
    const int target =
        std::clamp(request.kind == Kind::Relative ? current + request.percent : request.percent, 0,
                   kMaxPercent);
    if (target == 0) {
        return current == 0 ? VolumePlan{} : VolumePlan{"Mute", 1};
    }
    const auto [low, high] = volumesOf(current);
    if (target == kMaxPercent) {
        // Enough steps from the lowest volume that reads as `current`; the
        // server stops at 255.
        const int steps = (kMaxVolume - low + kVolumeStep - 1) / kVolumeStep;
        return steps > 0 && current < kMaxPercent ? VolumePlan{"Up", steps} : VolumePlan{};
    }
    const double now = (low + high) / 2.0;
    const double wanted = target / kPercentPerStep;
    int steps = static_cast<int>(std::lround((wanted - now) / kVolumeStep));
    // A change asked for moves at least one step, as "up" and "down" do.
    if (steps == 0 && request.kind == Kind::Relative && request.percent != 0 && target != current) {
        steps = request.percent > 0 ? 1 : -1;
    }
    if (steps == 0) {
        return {};
    }
    return steps > 0 ? VolumePlan{"Up", steps} : VolumePlan{"Down", -steps};
}

} // namespace tembrel::client

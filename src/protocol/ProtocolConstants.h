// Numbers that clients and the server must agree on. Each has its one home
// here; server-only limits live next to the server code they bound.
#pragma once

#include <cstddef>

namespace tembrel::protocol {

// The TCP port a server listens on unless told otherwise.
inline constexpr int kDefaultPort = 6000;

// Volume: the sound library's channel gain 0-255, stepped by "Up" and
// "Down", reported in "^Volume" as a percentage.
inline constexpr int kMinVolume = 0;
inline constexpr int kMaxVolume = 255;
inline constexpr int kDefaultVolume = 128;
inline constexpr int kVolumeStep = 16;
// 100/255 in double precision: volume 0-255 to the percent "^Volume" shows.
inline constexpr double kVolumePercentFactor = 0.3921568627450981;

// "Next" and "Prev" move the position within the track by this much.
inline constexpr int kSeekStepMs = 2000;
// "SetTime" takes a slider position 0-284: the fraction of the track is the
// position times this single-precision constant (about 1/284).
inline constexpr float kSeekScale = 0.0035211267f;
inline constexpr int kSeekSliderEnd = 284;

// "^Spectrum" carries this many bar heights, each 0-100.
inline constexpr int kBandCount = 16;
inline constexpr int kMaxBandValue = 100;

// Listings number the k-th listed artist, album or track (k from 0) as
// k + 2; the album number 1 stands for the artist's loose tracks.
inline constexpr int kFirstListedNumber = 2;
inline constexpr int kLooseTracksAlbumNumber = 1;
[[nodiscard]] constexpr int listedNumber(std::size_t index) noexcept {
    return static_cast<int>(index) + kFirstListedNumber;
}

} // namespace tembrel::protocol

// The reduction of the sound library's spectrum to the 16 bar heights clients
// draw, and the texts the spectrum step writes ("^Spectrum" payload, CPU line).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

namespace tembrel::remote {

inline constexpr int kBandCount = 16;
// Each band starts 16 values after the previous one and sums the first 8.
inline constexpr float kBandStride = 16.0f;
inline constexpr int kValuesPerBand = 8;
// The highest spectrum index any band reads, plus one.
inline constexpr std::size_t kSpectrumValuesRead =
    static_cast<std::size_t>((kBandCount - 1) * 16 + kValuesPerBand);

using BandValues = std::array<int, kBandCount>;

// Band b sums spectrum[16b] .. spectrum[16b + 7] in extended precision
// (positive and negative values count, zero and NaN do not), clamps the sum at
// 1.0 and scales it to 0..100, truncating toward zero. Values the span does
// not hold count as 0; results stay within int whatever the input.
[[nodiscard]] BandValues computeBands(std::span<const float> spectrum) noexcept;

// "b0\b1\...\b15": the 16 values in decimal joined by backslashes.
[[nodiscard]] std::string formatBands(const BandValues& bands);

// The status-line text for the sound library's CPU usage, e.g. "CPU Usage: 3.25%".
[[nodiscard]] std::string formatCpuUsage(float percent);

} // namespace tembrel::remote

// The reduction of the sound library's spectrum to the 16 bar heights clients
// draw (^Spectrum; its payload text is the protocol's formatBands).
#pragma once

#include <cstddef>
#include <span>

#include "protocol/SpectrumPayload.h"

namespace tembrel::remote {

using protocol::BandValues;
using protocol::formatBands;
using protocol::kBandCount;

// Each band starts 16 values after the previous one and sums the first 8.
inline constexpr float kBandStride = 16.0f;
inline constexpr int kValuesPerBand = 8;
// The highest spectrum index any band reads, plus one.
inline constexpr std::size_t kSpectrumValuesRead =
    static_cast<std::size_t>((kBandCount - 1) * static_cast<int>(kBandStride) + kValuesPerBand);

// Band b sums spectrum[16b] .. spectrum[16b + 7] in extended precision
// (positive and negative values count, zero and NaN do not), clamps the sum at
// 1.0 and scales it to 0..100, truncating toward zero. Values the span does
// not hold count as 0; results stay within int whatever the input.
[[nodiscard]] BandValues computeBands(std::span<const float> spectrum) noexcept;

} // namespace tembrel::remote

// The 16-band spectrum: reading the server's "^Spectrum" payload and drawing
// the bands with block characters.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::client {

inline constexpr std::size_t kSpectrumBands = 16;
// Band values run from 0 to this.
inline constexpr int kSpectrumFullScale = 100;

using SpectrumBands = std::array<int, kSpectrumBands>;

// The 16 backslash-joined numbers, or nothing when the payload is not that.
[[nodiscard]] std::optional<SpectrumBands> parseSpectrum(std::string_view payload);

// The bands as `rows` lines of bars, top line first; each band is
// `bandWidth` characters wide followed by a space. Heights follow the square
// root of the value, with eighth-of-a-line resolution (▁ to █); values are
// clamped to 0..100.
[[nodiscard]] std::vector<std::string> spectrumRows(const SpectrumBands& bands, int rows,
                                                    int bandWidth);

} // namespace tembrel::client

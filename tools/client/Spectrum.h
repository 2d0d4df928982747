// Drawing the spectrum's bands with block characters.
#pragma once

#include <string>
#include <vector>

#include "protocol/SpectrumPayload.h"

namespace tembrel::client {

using SpectrumBands = protocol::BandValues;

// The bands as `rows` lines of bars, top line first; each band is
// `bandWidth` characters wide followed by a space. Heights follow the square
// root of the value, with eighth-of-a-line resolution (▁ to █); values are
// clamped to the band range, 0 to protocol::kMaxBandValue.
[[nodiscard]] std::vector<std::string> spectrumRows(const SpectrumBands& bands, int rows,
                                                    int bandWidth);

} // namespace tembrel::client

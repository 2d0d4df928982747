// The "^Spectrum" payload: kBandCount bar heights in decimal, band 0 first,
// joined by backslashes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ProtocolConstants.h"

namespace tembrel::protocol {

using BandValues = std::array<int, kBandCount>;

[[nodiscard]] std::string formatBands(const BandValues& bands);
// The bands of a payload; nothing unless it is exactly kBandCount decimal
// numbers joined by backslashes.
[[nodiscard]] std::optional<BandValues> parseBands(std::string_view payload);

} // namespace tembrel::protocol

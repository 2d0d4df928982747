// The order of artist names in the library: byte by byte after folding the
// letters A to Z to a to z, so "_x" comes before every letter.
#pragma once

#include <string_view>

namespace tembrel::library {

[[nodiscard]] bool artistNameBefore(std::string_view a, std::string_view b) noexcept;

} // namespace tembrel::library

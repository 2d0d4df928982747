// Small text helpers of the client: number parsing, case-insensitive
// comparison, times.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrel::client {

// A whole decimal number without sign or blanks, or nothing.
[[nodiscard]] std::optional<long long> parseUnsigned(std::string_view text) noexcept;
// Reads a number the way the server writes and reads them: leading blanks,
// one sign, digits up to the first non-digit; no digits gives 0.
[[nodiscard]] long long leadingNumber(std::string_view text) noexcept;

[[nodiscard]] bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept;

// Seconds as minutes, ":" and two-digit seconds (75 -> "1:15").
[[nodiscard]] std::string formatMinutes(long long seconds);

} // namespace tembrel::client

// Small text helpers of the client: number parsing, case-insensitive
// comparison, splitting the server's backslash-joined fields, times.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::client {

// A whole decimal number without sign or blanks, or nothing.
[[nodiscard]] std::optional<long long> parseUnsigned(std::string_view text) noexcept;
// Reads a number the way the server writes and reads them: leading blanks,
// one sign, digits up to the first non-digit; no digits gives 0.
[[nodiscard]] long long leadingNumber(std::string_view text) noexcept;

[[nodiscard]] bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept;

// Splits a payload joined by backslashes into exactly `count` fields: the
// first count-1 separators from the left, except that the last field is
// taken after the last separator, so a backslash inside a middle field (a
// title, say) stays in it. Missing fields are empty.
[[nodiscard]] std::vector<std::string> splitFields(std::string_view payload, std::size_t count);

// Seconds as minutes, ":" and two-digit seconds (75 -> "1:15").
[[nodiscard]] std::string formatMinutes(long long seconds);

} // namespace tembrel::client

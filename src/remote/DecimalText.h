// Numbers in command arguments and the port field, read from decimal text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tembrel::remote {

// Reads a number the way the C library's atoi does: leading blanks, one
// optional sign, then digits up to the first non-digit; no digits gives 0.
// Values beyond the 32-bit range are clamped to it instead of overflowing.
[[nodiscard]] std::int32_t atoiClamped(std::string_view text) noexcept;

// The whole text is a decimal integer in the 32-bit range: optional blanks,
// one optional sign, at least one digit, optional blanks, nothing else.
[[nodiscard]] std::optional<std::int32_t> parseDecimalInteger(std::string_view text) noexcept;

} // namespace tembrel::remote

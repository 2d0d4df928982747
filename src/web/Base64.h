// Base64 (standard alphabet, padded) for the JSON form of binary values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tembrel::web {

// Appends the base64 text of `bytes` to `out`.
void appendBase64(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

// The bytes of a padded base64 text; nothing when it is not one (wrong
// length, a character outside the alphabet, misplaced padding).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

} // namespace tembrel::web

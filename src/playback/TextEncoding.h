// Byte-level text helpers for tag texts: UTF-8 validation, the Windows-1252
// code page that ID3v1 tags written on Windows use, and cutting a text to a
// byte budget without splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tembrel::playback {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
[[nodiscard]] bool isValidUtf8(std::string_view bytes) noexcept;

// Each byte taken as a Windows-1252 character, written as UTF-8. The five
// bytes that code page leaves undefined keep their Latin-1 meaning (C1 controls).
[[nodiscard]] std::string windows1252ToUtf8(std::string_view bytes);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character.
[[nodiscard]] std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) noexcept;

} // namespace tembrel::playback

// Client-supplied text made safe to repeat: cut at a UTF-8 boundary, and
// shown in the log with control characters escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tembrel::remote {

// The longest user name the server keeps, in characters (code points).
inline constexpr std::size_t kMaxUserNameChars = 64;
// The most bytes of one client text a log line shows before "…".
inline constexpr std::size_t kMaxLoggedClientBytes = 200;

// The first `maxChars` characters of `text` (UTF-8); a text that is not
// valid UTF-8 is counted byte by byte past the first invalid byte.
[[nodiscard]] std::string cutToChars(std::string_view text, std::size_t maxChars);

// `text` as a log shows it: control characters and bytes that are not
// UTF-8 written as \n, \r, \t or \xNN, and cut at a UTF-8 boundary to
// kMaxLoggedClientBytes of escaped text followed by "…".
[[nodiscard]] std::string forLog(std::string_view text);

} // namespace tembrel::remote

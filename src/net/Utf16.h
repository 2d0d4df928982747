#pragma once

// Conversion of the wire format's wide (UTF-16LE) texts to the UTF-8 texts
// the rest of the system works with.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tembrel::net {

// Replaces `out` with the UTF-8 form of `units` UTF-16 little-endian code
// units read from `bytes`. Unpaired surrogates become U+FFFD.
void utf16leToUtf8(const std::uint8_t* bytes, std::size_t units, std::string& out);

} // namespace tembrel::net

// Artist name order: only A to Z are folded; other bytes (UTF-8 included)
// compare by their unsigned value, and a name sorts before its extensions.
#include "library/ArtistOrder.h"

#include <algorithm>

namespace tembrel::library {

namespace {

[[nodiscard]] unsigned char foldAsciiUpper(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

} // namespace

bool artistNameBefore(std::string_view a, std::string_view b) noexcept {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return foldAsciiUpper(x) < foldAsciiUpper(y);
    });
}

} // namespace tembrel::library

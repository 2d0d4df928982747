// Cutting and escaping of client-supplied text.
#include "remote/ClientText.h"

#include <algorithm>
#include <array>

namespace tembrel::remote {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// The length of the UTF-8 sequence starting at `text[at]`, 1 for a byte that
// does not start a well-formed sequence.
std::size_t sequenceLength(std::string_view text, std::size_t at) noexcept {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
    }
    if (at + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0U) != 0x80U) {
            return 1;
        }
    }
    return length;
}

void appendEscaped(std::string& out, unsigned char byte) {
    constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    switch (byte) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    if (byte < 0x20U || byte >= 0x7FU) {
        out += "\\x";
        out += kHex[byte >> 4U];
        out += kHex[byte & 0x0FU];
    } else {
        out += static_cast<char>(byte);
    }
}

} // namespace

std::string cutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t at = 0;
    for (std::size_t chars = 0; at < text.size() && chars < maxChars; ++chars) {
        at += sequenceLength(text, at);
    }
    return std::string(text.substr(0, at));
}

std::string forLog(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size(), kMaxLoggedClientBytes) + kEllipsis.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = sequenceLength(text, at);
        std::string piece;
        if (length == 1) {
            appendEscaped(piece, static_cast<unsigned char>(text[at]));
        } else {
            piece = text.substr(at, length);
        }
        if (out.size() + piece.size() > kMaxLoggedClientBytes) {
            out += kEllipsis;
            return out;
        }
        out += piece;
        at += length;
    }
    return out;
}

} // namespace tembrel::remote

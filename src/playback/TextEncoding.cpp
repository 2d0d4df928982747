// UTF-8 validation and Windows-1252 conversion for tag texts.
#include "playback/TextEncoding.h"

#include <array>
#include <cstdint>

namespace tembrel::playback {

namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;

[[nodiscard]] bool isContinuation(unsigned char byte) noexcept {
    return (byte & kContinuationMask) == kContinuationBits;
}

// Bytes 0x80 to 0x9F of Windows-1252; 0 marks the five undefined ones.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t code) {
    constexpr char32_t kOneByteLimit = 0x80;
    constexpr char32_t kTwoByteLimit = 0x800;
    if (code < kOneByteLimit) {
        out += static_cast<char>(code);
    } else if (code < kTwoByteLimit) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Length of the sequence a lead byte starts, or 0 for a byte that cannot lead.
[[nodiscard]] std::size_t sequenceLength(unsigned char lead) noexcept {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

bool isValidUtf8(std::string_view bytes) noexcept {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        const std::size_t length = sequenceLength(lead);
        if (length == 0 || pos + length > bytes.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if (!isContinuation(static_cast<unsigned char>(bytes[pos + i]))) {
                return false;
            }
        }
        if (length > 2) {
            // The second byte rules out overlong forms, surrogates and
            // code points above U+10FFFF.
            const auto second = static_cast<unsigned char>(bytes[pos + 1]);
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
                (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
                return false;
            }
        }
        pos += length;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    constexpr unsigned char kHighControlsFirst = 0x80;
    constexpr unsigned char kHighControlsLast = 0x9F;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        char32_t code = byte;
        if (byte >= kHighControlsFirst && byte <= kHighControlsLast) {
            const char16_t mapped = kHighControls[byte - kHighControlsFirst];
            code = mapped != 0 ? mapped : byte;
        }
        appendUtf8(out, code);
    }
    return out;
}

std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) noexcept {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t cut = maxBytes;
    // Step back over continuation bytes so the cut lands before a lead byte.
    while (cut > 0 && isContinuation(static_cast<unsigned char>(text[cut]))) {
        --cut;
    }
    return text.substr(0, cut);
}

} // namespace tembrel::playback

#pragma once

// Little-endian number access and the text length prefix shared by the
// encoder and the decoder of the message codec.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tembrel::net::wire {

// Size of the fixed message header: identifier and value count.
inline constexpr std::size_t kHeaderBytes = 8;
// Every scalar value (codes 0-9 and 12-255) carries an 8-byte slot.
inline constexpr std::size_t kScalarBytes = 8;
// The smallest encoded value: a type code and an empty text.
inline constexpr std::size_t kMinValueBytes = 2;

// Text prefix bytes: short form up to 254, 0xFF + u16 up to 65533, else
// 0xFF 0xFFFF + u32; 0xFF 0xFFFE announces UTF-16 text.
inline constexpr std::uint8_t kPrefixEscape = 0xFF;
inline constexpr std::uint16_t kPrefixLong = 0xFFFF;
inline constexpr std::uint16_t kPrefixWide = 0xFFFE;
inline constexpr std::size_t kShortTextMax = 254;
inline constexpr std::size_t kMediumTextMax = 65533;

inline std::uint16_t load16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t load32(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint8_t* store16(std::uint8_t* p, std::uint16_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    return p + 2;
}

inline std::uint8_t* store32(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
    return p + 4;
}

[[nodiscard]] inline constexpr std::size_t textPrefixBytes(std::size_t length) noexcept {
    return length <= kShortTextMax ? 1 : length <= kMediumTextMax ? 3 : 7;
}

// A decoded text prefix: how many bytes it took, how many characters follow
// and whether they are 2-byte UTF-16 units.
struct TextPrefix {
    std::size_t prefixBytes = 0;
    std::uint64_t units = 0;
    bool wide = false;

    [[nodiscard]] std::uint64_t payloadBytes() const noexcept { return wide ? units * 2 : units; }
};

// Reads a text prefix from `available` bytes at `p`. False when the bytes end
// inside the prefix. After the wide marker the second prefix is read by the
// same rules, except that 0xFFFE there is a length, not another marker.
[[nodiscard]] inline bool readTextPrefix(const std::uint8_t* p, std::size_t available,
                                         TextPrefix& out) noexcept {
    std::size_t pos = 0;
    bool wide = false;
    for (;;) {
        if (available < pos + 1) {
            return false;
        }
        const std::uint8_t first = p[pos++];
        if (first != kPrefixEscape) {
            out = {pos, first, wide};
            return true;
        }
        if (available < pos + 2) {
            return false;
        }
        const std::uint16_t medium = load16(p + pos);
        pos += 2;
        if (medium == kPrefixWide && !wide) {
            wide = true;
            continue;
        }
        if (medium != kPrefixLong) {
            out = {pos, medium, wide};
            return true;
        }
        if (available < pos + 4) {
            return false;
        }
        out = {pos + 4, load32(p + pos), wide};
        return true;
    }
}

} // namespace tembrel::net::wire

// Base64 written and read strictly: the decoder accepts only what the encoder
// produces, so every binary value has exactly one JSON form.
#include "web/Base64.h"

#include <array>

namespace tembrel::web {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xFF;
constexpr char kPad = '=';

constexpr std::array<std::uint8_t, 256> kDecodeTable = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(kInvalid);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return table;
}();

[[nodiscard]] std::uint8_t symbol(std::uint32_t bits) noexcept {
    return static_cast<std::uint8_t>(kAlphabet[bits & 0x3FU]);
}

} // namespace

void appendBase64(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out.insert(out.end(),
                   {symbol(group >> 18), symbol(group >> 12), symbol(group >> 6), symbol(group)});
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        out.insert(out.end(), {symbol(group >> 18), symbol(group >> 12), kPad, kPad});
    } else if (rest == 2) {
        const std::uint32_t group =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8);
        out.insert(out.end(), {symbol(group >> 18), symbol(group >> 12), symbol(group >> 6), kPad});
    }
}

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    if (!text.empty() && text.back() == kPad) {
        padding = text[text.size() - 2] == kPad ? 2 : 1;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const std::size_t symbols = last ? 4 - padding : 4;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            std::uint8_t value = 0;
            if (k < symbols) {
                value = kDecodeTable[static_cast<unsigned char>(text[i + k])];
                if (value == kInvalid) {
                    return std::nullopt;
                }
            }
            group = (group << 6) | value;
        }
        // Bits below the last whole byte must be zero, or two texts would
        // read as the same bytes.
        if ((symbols == 2 && (group & 0xFFFFU) != 0) || (symbols == 3 && (group & 0xFFU) != 0)) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (symbols >= 3) {
            bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        }
        if (symbols == 4) {
            bytes.push_back(static_cast<std::uint8_t>(group));
        }
    }
    return bytes;
}

} // namespace tembrel::web

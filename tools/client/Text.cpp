// Text helpers of the client.
#include "Text.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace tembrel::client {

namespace {

// Numbers beyond this are not meaningful anywhere in the protocol.
constexpr long long kNumberCeiling = std::numeric_limits<int>::max();

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<long long> parseUnsigned(std::string_view text) noexcept {
    if (text.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > kNumberCeiling) {
            return std::nullopt;
        }
    }
    return value;
}

long long leadingNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (value <= kNumberCeiling) {
            value = value * 10 + (text[i] - '0');
        }
    }
    return negative ? -value : value;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string formatMinutes(long long seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

} // namespace tembrel::client

// Decimal text to numbers, never overflowing.
#include "remote/DecimalText.h"

#include <limits>

namespace tembrel::remote {

namespace {

[[nodiscard]] constexpr bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

[[nodiscard]] constexpr bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

struct Scan {
    std::int64_t value = 0;
    std::size_t end = 0; // index after the last digit read
    bool hasDigits = false;
};

// Blanks, sign and digits from `text`; the magnitude saturates just past the
// 32-bit range so the result can be clamped afterwards.
[[nodiscard]] Scan scanNumber(std::string_view text) noexcept {
    constexpr std::int64_t kSaturation = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    Scan scan;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    while (i < text.size() && isDigit(text[i])) {
        scan.hasDigits = true;
        if (magnitude <= kSaturation) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
        ++i;
    }
    scan.end = i;
    scan.value = negative ? -magnitude : magnitude;
    return scan;
}

[[nodiscard]] constexpr std::int32_t clampTo32(std::int64_t value) noexcept {
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t atoiClamped(std::string_view text) noexcept {
    const Scan scan = scanNumber(text);
    return scan.hasDigits ? clampTo32(scan.value) : 0;
}

std::optional<std::int32_t> parseDecimalInteger(std::string_view text) noexcept {
    const Scan scan = scanNumber(text);
    if (!scan.hasDigits || scan.value != clampTo32(scan.value)) {
        return std::nullopt;
    }
    for (std::size_t i = scan.end; i < text.size(); ++i) {
        if (!isBlank(text[i])) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(scan.value);
}

} // namespace tembrel::remote

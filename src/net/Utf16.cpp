// UTF-16LE to UTF-8 conversion for wide texts received from peers.
#include "net/Utf16.h"

#include "net/WireFormat.h"

namespace tembrel::net {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kSurrogateLast = 0xDFFF;

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

void utf16leToUtf8(const std::uint8_t* bytes, std::size_t units, std::string& out) {
    out.clear();
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = wire::load16(bytes + 2 * i);
        if (unit < kHighSurrogateFirst || unit > kSurrogateLast) {
            appendUtf8(unit, out);
            continue;
        }
        if (unit < kLowSurrogateFirst && i + 1 < units) {
            const char16_t next = wire::load16(bytes + 2 * (i + 1));
            if (next >= kLowSurrogateFirst && next <= kSurrogateLast) {
                appendUtf8(0x10000 + ((char32_t{unit} - kHighSurrogateFirst) << 10) +
                               (char32_t{next} - kLowSurrogateFirst),
                           out);
                ++i;
                continue;
            }
        }
        appendUtf8(kReplacement, out);
    }
}

} // namespace tembrel::net

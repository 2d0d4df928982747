// Case-insensitive name order: plain ASCII is compared byte by byte with
// A-Z folded; once a name holds another character the rest is compared by
// Unicode case folding.
#include "library/NameOrder.h"

#include <QString>

#include <algorithm>

namespace tembrel::library {

namespace {

constexpr unsigned char kFirstNonAscii = 0x80;

[[nodiscard]] unsigned char foldAscii(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// <0, 0, >0 ignoring case.
[[nodiscard]] int compareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= kFirstNonAscii || y >= kFirstNonAscii) {
            // The stretch before is equal ignoring case; the rest is
            // compared as text.
            const QString restA =
                QString::fromUtf8(a.data() + i, static_cast<qsizetype>(a.size() - i));
            const QString restB =
                QString::fromUtf8(b.data() + i, static_cast<qsizetype>(b.size() - i));
            return restA.compare(restB, Qt::CaseInsensitive);
        }
        const unsigned char fx = foldAscii(x);
        const unsigned char fy = foldAscii(y);
        if (fx != fy) {
            return fx < fy ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

bool nameBefore(std::string_view a, std::string_view b) {
    const int ignoringCase = compareIgnoringCase(a, b);
    if (ignoringCase != 0) {
        return ignoringCase < 0;
    }
    return a < b;
}

void sortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return nameBefore(a, b); });
}

} // namespace tembrel::library

// QR codes through libqrencode.
#include "web/QrCode.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace tembrel::web {

namespace {

struct QrFree {
    void operator()(QRcode* code) const noexcept { QRcode_free(code); }
};

// Bit 0 of each module byte from libqrencode: dark.
constexpr unsigned kDarkBit = 0x1U;

constexpr std::string_view kUpperHalf = "\u2580";
constexpr std::string_view kLowerHalf = "\u2584";
constexpr std::string_view kFullBlock = "\u2588";

} // namespace

std::optional<QrCode> QrCode::encode(std::string_view text) {
    const std::string terminated(text);
    // Level M: about 15% of the code may be damaged or badly lit.
    const std::unique_ptr<QRcode, QrFree> code(
        QRcode_encodeString8bit(terminated.c_str(), 0, QR_ECLEVEL_M));
    if (!code || code->width <= 0) {
        return std::nullopt;
    }
    const int size = code->width;
    std::vector<bool> modules(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        modules[i] = (code->data[i] & kDarkBit) != 0;
    }
    return QrCode(size, std::move(modules));
}

bool QrCode::dark(int x, int y) const noexcept {
    if (x < 0 || y < 0 || x >= size_ || y >= size_) {
        return false;
    }
    return modules_[static_cast<std::size_t>(y) * static_cast<std::size_t>(size_) +
                    static_cast<std::size_t>(x)];
}

std::vector<std::string> qrTextLines(const QrCode& code) {
    std::vector<std::string> lines;
    const int first = -QrCode::kQuietZone;
    const int end = code.size() + QrCode::kQuietZone;
    for (int y = first; y < end; y += 2) {
        std::string line;
        for (int x = first; x < end; ++x) {
            const bool top = !code.dark(x, y);
            const bool bottom = y + 1 < end && !code.dark(x, y + 1);
            if (top && bottom) {
                line += kFullBlock;
            } else if (top) {
                line += kUpperHalf;
            } else if (bottom) {
                line += kLowerHalf;
            } else {
                line += ' ';
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace tembrel::web

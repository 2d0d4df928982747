// A QR code of a short text (the page's address), from libqrencode, and its
// drawing as terminal text for the headless log.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::web {

class QrCode {
public:
    // Light modules kept around the code so that a scanner finds its edges.
    static constexpr int kQuietZone = 2;

    // Nothing when the text cannot be encoded (too long for a QR code).
    [[nodiscard]] static std::optional<QrCode> encode(std::string_view text);

    // Modules per side, without the quiet zone.
    [[nodiscard]] int size() const noexcept { return size_; }
    // Whether the module at (x, y) is dark; outside the code it is light.
    [[nodiscard]] bool dark(int x, int y) const noexcept;

private:
    QrCode(int size, std::vector<bool> modules) : size_(size), modules_(std::move(modules)) {}

    int size_ = 0;
    std::vector<bool> modules_; // row by row
};

// The code as lines of half-block characters, two module rows per line, with
// the quiet zone. Light modules are drawn, dark ones left blank, as for a
// terminal with a dark background (scanners also read the inverse).
[[nodiscard]] std::vector<std::string> qrTextLines(const QrCode& code);

} // namespace tembrel::web

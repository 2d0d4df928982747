// Converts the dialog-unit positions of the window layout into pixels for the
// window's font, so the window keeps its proportions at any font size.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QSize>

#include <cmath>

namespace tembrel::shell {

// One horizontal dialog unit is a quarter of the font's average character
// width, one vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetricsF metrics(font);
        static constexpr const char* kAlphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        static constexpr double kAlphabetLength = 52.0;
        charWidth_ = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet)) / kAlphabetLength;
        charHeight_ = metrics.height();
    }

    [[nodiscard]] int x(int units) const noexcept {
        return static_cast<int>(std::lround(units * charWidth_ / 4.0));
    }
    [[nodiscard]] int y(int units) const noexcept {
        return static_cast<int>(std::lround(units * charHeight_ / 8.0));
    }
    [[nodiscard]] QSize size(int width, int height) const noexcept { return {x(width), y(height)}; }
    [[nodiscard]] QRect rect(int left, int top, int width, int height) const noexcept {
        return {x(left), y(top), x(width), y(height)};
    }

private:
    double charWidth_ = 6.0;
    double charHeight_ = 13.0;
};

} // namespace tembrel::shell

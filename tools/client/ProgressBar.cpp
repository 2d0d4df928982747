// Upload progress drawing.
#include "ProgressBar.h"

#include <algorithm>

namespace tembrel::client {

namespace {

constexpr int kBarWidth = 30;
constexpr std::string_view kClearLine = "\r\x1b[K";

} // namespace

std::string progressLine(const std::string& label, std::uint64_t done, std::uint64_t total,
                         int width) {
    const std::uint64_t percent =
        total == 0 ? 100 : std::min<std::uint64_t>(100, done * 100 / total);
    const auto filled = static_cast<std::size_t>(percent * static_cast<std::uint64_t>(width) / 100);
    std::string line = label + " [";
    line.append(filled, '#');
    line.append(static_cast<std::size_t>(width) - filled, '-');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - std::min<std::size_t>(3, number.size()), ' ');
    line += number + "%";
    return line;
}

void ProgressBar::update(std::uint64_t done, std::uint64_t total) {
    if (!enabled_) {
        return;
    }
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total));
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    out_ << kClearLine << progressLine(label_, done, total, kBarWidth) << std::flush;
}

ProgressBar::~ProgressBar() {
    if (enabled_ && lastPercent_ >= 0) {
        out_ << kClearLine << std::flush;
    }
}

} // namespace tembrel::client

// The CPU usage line of the window's status line.
#include "remote/CpuUsageText.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tembrel::remote {

namespace {

constexpr std::size_t kCpuTextCapacity = 64;

} // namespace

std::string formatCpuUsage(float percent) {
    std::array<char, kCpuTextCapacity> text{};
    const int written =
        std::snprintf(text.data(), text.size(), "CPU Usage: %3.2f%%", static_cast<double>(percent));
    if (written < 0) {
        return {};
    }
    return std::string(text.data(), std::min(static_cast<std::size_t>(written), text.size() - 1));
}

} // namespace tembrel::remote

// The status line the spectrum step writes: the sound library's CPU usage.
#pragma once

#include <string>

namespace tembrel::remote {

// "CPU Usage: 3.25%": two decimals, at least three characters wide.
[[nodiscard]] std::string formatCpuUsage(float percent);

} // namespace tembrel::remote

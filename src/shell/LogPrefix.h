// The front of each headless log line. In a terminal or a file: the local
// time to the millisecond and the level word ("2026-12-07 14:05:09.123 info ").
// Under systemd, whose journal stamps the time itself: the sd-daemon level
// prefix ("<6>" info, "<4>" warning, "<3>" error).
#pragma once

#include <chrono>
#include <string>

#include "shell/LogLevel.h"

namespace tembrel::shell {

enum class LogStyle { Timed, Journal };

// Journal when JOURNAL_STREAM is set (systemd sets it for a service whose
// output goes to the journal), else Timed.
[[nodiscard]] LogStyle logStyleFromEnvironment();

[[nodiscard]] std::string logPrefix(LogLevel level, LogStyle style,
                                    std::chrono::system_clock::time_point now);

} // namespace tembrel::shell

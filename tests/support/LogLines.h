// Reading the headless server's log: each line starts with its time and
// level ("2026-12-07 14:05:09.123 info ") or, under systemd, the journal's
// level prefix ("<6>"); tests compare the message texts after it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tembrel::test {

struct LogLine {
    std::string_view level; // "info", "warn", "error"; "<6>" and the like for the journal form
    std::string_view message;
};

// The parts of a line of the timed form; nullopt when it is not of that form.
[[nodiscard]] std::optional<LogLine> timedLogLine(std::string_view line);
// The parts of a line of the journal form; nullopt when it is not of that form.
[[nodiscard]] std::optional<LogLine> journalLogLine(std::string_view line);

// The log with the prefix taken off every line that has one.
[[nodiscard]] std::string logMessages(std::string_view log);

} // namespace tembrel::test

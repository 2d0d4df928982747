// Splitting headless log lines into level and message.
#include "support/LogLines.h"

#include <array>
#include <cctype>

namespace tembrel::test {

namespace {

// "2026-12-07 14:05:09.123": digits wherever the pattern has a 'd'.
constexpr std::string_view kTimePattern = "dddd-dd-dd dd:dd:dd.ddd ";
constexpr std::array<std::string_view, 3> kLevelWords{"info", "warn", "error"};

[[nodiscard]] bool matchesTime(std::string_view text) {
    if (text.size() < kTimePattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kTimePattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (kTimePattern[i] == 'd' ? !digit : text[i] != kTimePattern[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<LogLine> timedLogLine(std::string_view line) {
    if (!matchesTime(line)) {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(kTimePattern.size());
    for (const std::string_view word : kLevelWords) {
        if (rest.starts_with(word) && rest.size() > word.size() && rest[word.size()] == ' ') {
            return LogLine{rest.substr(0, word.size()), rest.substr(word.size() + 1)};
        }
    }
    return std::nullopt;
}

std::optional<LogLine> journalLogLine(std::string_view line) {
    if (line.size() < 3 || line[0] != '<' || line[1] < '0' || line[1] > '7' || line[2] != '>') {
        return std::nullopt;
    }
    return LogLine{line.substr(0, 3), line.substr(3)};
}

std::string logMessages(std::string_view log) {
    std::string messages;
    messages.reserve(log.size());
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        const std::string_view line = log.substr(0, end);
        const auto parsed = timedLogLine(line);
        messages += parsed ? parsed->message : line;
        if (end == std::string_view::npos) {
            break;
        }
        messages += '\n';
        log.remove_prefix(end + 1);
    }
    return messages;
}

} // namespace tembrel::test

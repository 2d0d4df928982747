// Time and level in front of a headless log line.
#include "shell/LogPrefix.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace tembrel::shell {

namespace {

[[nodiscard]] std::string_view levelWord(LogLevel level) noexcept {
    switch (level) {
    case LogLevel::Error:
        return "error";
    case LogLevel::Warning:
        return "warn";
    case LogLevel::Info:
        break;
    }
    return "info";
}

// sd-daemon(3): SD_ERR, SD_WARNING, SD_INFO.
[[nodiscard]] std::string_view journalPrefix(LogLevel level) noexcept {
    switch (level) {
    case LogLevel::Error:
        return "<3>";
    case LogLevel::Warning:
        return "<4>";
    case LogLevel::Info:
        break;
    }
    return "<6>";
}

// "2026-12-07 14:05:09.123 " in local time.
[[nodiscard]] std::string localTime(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03d ", static_cast<int>(millis));
    return std::string(text.data(), length) + fraction.data();
}

} // namespace

LogStyle logStyleFromEnvironment() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    return stream != nullptr && *stream != '\0' ? LogStyle::Journal : LogStyle::Timed;
}

std::string logPrefix(LogLevel level, LogStyle style, std::chrono::system_clock::time_point now) {
    if (style == LogStyle::Journal) {
        return std::string(journalPrefix(level));
    }
    std::string prefix = localTime(now);
    prefix += levelWord(level);
    prefix += ' ';
    return prefix;
}

} // namespace tembrel::shell

// The level of each kind of log line, by the fixed parts of its text.
#include "shell/LogLevel.h"

namespace tembrel::shell {

namespace {

// A line with this beginning and end (either may be empty) has this level.
struct Rule {
    std::string_view prefix;
    std::string_view suffix;
    LogLevel level;
};

constexpr Rule kRules[] = {
    {"Cannot start the server", "", LogLevel::Error},
    {"Cannot create the upload folder ", "", LogLevel::Error},
    {"The web remote cannot listen on port ", "", LogLevel::Error},
    {"The playlist cannot be kept in ", "", LogLevel::Error},
    {"Settings could not be saved to ", "", LogLevel::Error},
    {"Location ", ": nothing found (missing)", LogLevel::Error},
    {"Location ", ": nothing found (unreadable)", LogLevel::Error},
    {"Location ", ": nothing found (not a folder)", LogLevel::Error},
    {"Location ", ": nothing found (empty)", LogLevel::Warning},
    {"Connection from ", "", LogLevel::Warning},
    {"Signals cannot be watched", "", LogLevel::Warning},
    {"The stored ", "", LogLevel::Warning},
    {"Settings: ", "", LogLevel::Warning},
    {"Setting ", "", LogLevel::Warning},
    {"No sound device could be opened", "", LogLevel::Warning},
    {"", "; playing through the silent output instead", LogLevel::Warning},
    {"Snapcast: nobody reads ", "", LogLevel::Warning},
    {"* An error occurred while ", " The server closed the connection. *", LogLevel::Warning},
};

} // namespace

LogLevel levelOf(std::string_view line) noexcept {
    for (const Rule& rule : kRules) {
        if (line.size() >= rule.prefix.size() + rule.suffix.size() &&
            line.starts_with(rule.prefix) && line.ends_with(rule.suffix)) {
            return rule.level;
        }
    }
    return LogLevel::Info;
}

} // namespace tembrel::shell

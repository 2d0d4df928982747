// Event framing and the per-user rate limit of the server log.
#include "remote/ServerLog.h"

#include "remote/ClientText.h"

namespace tembrel::remote {

void ServerLog::logEvent(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 4);
    line += "* ";
    line += text;
    line += " *";
    appendLog(line);
}

void ServerLog::appendUserLog(std::int32_t userId, std::string_view userName,
                              std::string_view text) {
    if (admit(userId, userName)) {
        appendLog(text);
    }
}

void ServerLog::logUserEvent(std::int32_t userId, std::string_view userName,
                             std::string_view text) {
    if (admit(userId, userName)) {
        logEvent(text);
    }
}

void ServerLog::forgetUser(std::int32_t userId, std::string_view userName) {
    if (const auto found = windows_.find(userId); found != windows_.end()) {
        reportSuppressed(found->second, userName);
        windows_.erase(found);
    }
}

bool ServerLog::admit(std::int32_t userId, std::string_view userName) {
    const Clock::time_point now = Clock::now();
    auto [entry, inserted] = windows_.try_emplace(userId, UserWindow{now});
    UserWindow& window = entry->second;
    if (!inserted && now - window.start >= kUserWindow) {
        reportSuppressed(window, userName);
        window = UserWindow{now};
    }
    if (window.lines < kUserLinesPerWindow) {
        ++window.lines;
        return true;
    }
    ++window.suppressed;
    return false;
}

void ServerLog::reportSuppressed(UserWindow& window, std::string_view userName) {
    if (window.suppressed > 0) {
        appendLog("(" + std::to_string(window.suppressed) + " similar lines from " +
                  forLog(userName) + " suppressed)");
        window.suppressed = 0;
    }
}

} // namespace tembrel::remote

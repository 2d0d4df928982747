// The server log: plain trace lines and framed event lines, shown by the view.
// Lines a user's messages cause are rate-limited per user, so one user
// cannot flood the log; what was held back is counted and reported.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "remote/ServerView.h"

namespace tembrel::remote {

class ServerLog {
public:
    using Clock = std::chrono::steady_clock;
    // At most this many lines per user within one window; the rest are counted.
    static constexpr int kUserLinesPerWindow = 20;
    static constexpr Clock::duration kUserWindow = std::chrono::seconds(10);

    explicit ServerLog(ServerView& view) noexcept : view_(view) {}

    // One line as it is.
    void appendLog(std::string_view text) { view_.logLineAppended(text); }
    // An event line: "* ", the text and " *".
    void logEvent(std::string_view text);

    // The same, for a line one user's message caused: written only while the
    // user is within its share of lines.
    void appendUserLog(std::int32_t userId, std::string_view userName, std::string_view text);
    void logUserEvent(std::int32_t userId, std::string_view userName, std::string_view text);
    // Reports what was held back from a user that leaves, and forgets it.
    void forgetUser(std::int32_t userId, std::string_view userName);

private:
    struct UserWindow {
        Clock::time_point start;
        int lines = 0;
        int suppressed = 0;
    };

    bool admit(std::int32_t userId, std::string_view userName);
    void reportSuppressed(UserWindow& window, std::string_view userName);

    ServerView& view_;
    std::unordered_map<std::int32_t, UserWindow> windows_;
};

} // namespace tembrel::remote

// The server log: plain trace lines and framed event lines, shown by the view.
#pragma once

#include <string>
#include <string_view>

#include "remote/ServerView.h"

namespace tembrel::remote {

class ServerLog {
public:
    explicit ServerLog(ServerView& view) noexcept : view_(view) {}

    // One line as it is.
    void appendLog(std::string_view text) { view_.logLineAppended(text); }
    // An event line: "* ", the text and " *".
    void logEvent(std::string_view text) {
        std::string line;
        line.reserve(text.size() + 4);
        line += "* ";
        line += text;
        line += " *";
        appendLog(line);
    }

private:
    ServerView& view_;
};

} // namespace tembrel::remote

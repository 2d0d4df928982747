// The view of the headless server: log lines and notices, each with its time
// and level (or the journal's level prefix under systemd); errors on standard
// error, everything else on standard output.
#pragma once

#include <cstdio>
#include <string>

#include "remote/ServerView.h"
#include "shell/LogLevel.h"
#include "shell/LogPrefix.h"

namespace tembrel::shell {

class HeadlessConsole final : public remote::ServerView {
public:
    // Writes to `out` and `err` (the standard streams unless a test passes
    // its own).
    explicit HeadlessConsole(LogStyle style = logStyleFromEnvironment(), std::FILE* out = stdout,
                             std::FILE* err = stderr) noexcept
        : style_(style), out_(out), err_(err) {}

    // One line at a level the caller knows. Safe from any thread: the line
    // leaves in one write.
    void write(LogLevel level, std::string_view line);

    // At the level its text shows (see levelOf).
    void logLineAppended(std::string_view line) override;
    void userListChanged(const std::vector<std::string>& lines, int selectedIndex) override;
    // The status line changes many times a second while the spectrum runs;
    // it is not printed.
    void statusLineChanged(std::string_view text) override;
    void hostingChanged(bool hosting) override;
    void showNotice(std::string_view caption, std::string_view text, NoticeKind kind) override;
    void portIntegerRequired() override;
    void spectrumCheckChanged(int dspCode) override;
    void fieldsChanged() override;

private:
    LogStyle style_;
    std::FILE* out_;
    std::FILE* err_;
};

} // namespace tembrel::shell

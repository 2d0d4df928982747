// The view of the headless server: log lines and notices on standard output.
#pragma once

#include <cstdio>
#include <string>

#include "remote/ServerView.h"

namespace tembrel::shell {

class HeadlessConsole final : public remote::ServerView {
public:
    // Writes to `out` (standard output unless a test passes its own stream).
    explicit HeadlessConsole(std::FILE* out = stdout) noexcept : out_(out) {}

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
    void writeLine(std::string_view line);

    std::FILE* out_;
};

} // namespace tembrel::shell

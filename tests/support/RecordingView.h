// A ServerView for tests: records everything the controller shows (log
// lines, user lists, notices, hosting state, check marks, status lines).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "remote/ServerView.h"

namespace tembrel::test {

class RecordingView final : public remote::ServerView {
public:
    struct UserList {
        std::vector<std::string> lines;
        int selectedIndex = -1;
    };
    struct Notice {
        std::string caption;
        std::string text;
        NoticeKind kind = NoticeKind::Error;
    };

    void logLineAppended(std::string_view line) override { log.emplace_back(line); }
    void userListChanged(const std::vector<std::string>& lines, int selectedIndex) override {
        userLists.push_back({lines, selectedIndex});
    }
    void statusLineChanged(std::string_view text) override { statusLines.emplace_back(text); }
    void hostingChanged(bool isHosting) override { hosting.push_back(isHosting); }
    void showNotice(std::string_view caption, std::string_view text, NoticeKind kind) override {
        notices.push_back({std::string(caption), std::string(text), kind});
    }
    void portIntegerRequired() override { ++portPrompts; }
    void spectrumCheckChanged(int dspCode) override { checkMarks.push_back(dspCode); }
    void fieldsChanged() override { ++fieldChanges; }

    // Whether `line` was logged; the index of its first appearance at or
    // after `from`, or -1.
    [[nodiscard]] bool logged(std::string_view line) const { return logIndex(line) >= 0; }
    [[nodiscard]] int logIndex(std::string_view line, int from = 0) const;
    // The latest user list, empty with -1 when none was shown yet.
    [[nodiscard]] UserList currentUsers() const;
    void clear();

    std::vector<std::string> log;
    std::vector<UserList> userLists;
    std::vector<std::string> statusLines;
    std::vector<bool> hosting;
    std::vector<Notice> notices;
    int portPrompts = 0;
    std::vector<int> checkMarks;
    int fieldChanges = 0;
};

} // namespace tembrel::test

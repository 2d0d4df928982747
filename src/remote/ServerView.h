#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tembrel::remote {

// What the controller shows to the local user. The Qt window, the headless
// console and the tests' recording view implement it. Nothing here may block.
class ServerView {
public:
    enum class NoticeKind { Error, Information };

    virtual ~ServerView() = default;

    // One server-log line as appended (without the trailing line break).
    virtual void logLineAppended(std::string_view line) = 0;
    // The user list lines (sorted) and the selected line, -1 for none.
    virtual void userListChanged(const std::vector<std::string>& lines, int selectedIndex) = 0;
    virtual void statusLineChanged(std::string_view text) = 0;
    // Listening: toggle caption "&Stop", disconnect buttons enabled.
    // Not listening: "&Start", disconnect buttons disabled.
    virtual void hostingChanged(bool hosting) = 0;
    // A message box: "Cannot start the server.", "Loading a song", ...
    virtual void showNotice(std::string_view caption, std::string_view text, NoticeKind kind) = 0;
    // The port field does not hold a decimal integer.
    virtual void portIntegerRequired() = 0;
    // The DSP entry carrying the check mark: 0 none, 1 "Off", 2 "15fps",
    // 3 "30fps", 4 "60fps".
    virtual void spectrumCheckChanged(int dspCode) = 0;
    // The port or Location texts changed from the controller's side
    // (settings loaded).
    virtual void fieldsChanged() = 0;
};

} // namespace tembrel::remote

// Standard-output view of the headless server: every log line as it is
// appended, and notices that the window would show in a message box.
#include "shell/HeadlessConsole.h"

namespace tembrel::shell {

void HeadlessConsole::writeLine(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void HeadlessConsole::logLineAppended(std::string_view line) {
    writeLine(line);
}

void HeadlessConsole::userListChanged(const std::vector<std::string>& /*lines*/,
                                      int /*selectedIndex*/) {
    // The log already says who joined and left.
}

void HeadlessConsole::statusLineChanged(std::string_view /*text*/) {}

void HeadlessConsole::hostingChanged(bool /*hosting*/) {
    // The log's "The server is started." / "The server is stopped." say it.
}

void HeadlessConsole::showNotice(std::string_view caption, std::string_view text,
                                 NoticeKind /*kind*/) {
    std::string line;
    line.reserve(caption.size() + text.size() + 2);
    line += caption;
    line += ": ";
    line += text;
    writeLine(line);
}

void HeadlessConsole::portIntegerRequired() {
    writeLine("Tembrel Server: The port must be a whole number.");
}

void HeadlessConsole::spectrumCheckChanged(int /*dspCode*/) {}

void HeadlessConsole::fieldsChanged() {}

} // namespace tembrel::shell

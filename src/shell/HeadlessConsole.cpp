// Console view of the headless server: every log line as it is appended,
// and notices that the window would show in a message box.
#include "shell/HeadlessConsole.h"

#include <chrono>

namespace tembrel::shell {

void HeadlessConsole::write(LogLevel level, std::string_view line) {
    std::string text = logPrefix(level, style_, std::chrono::system_clock::now());
    text.reserve(text.size() + line.size() + 1);
    text += line;
    text += '\n';
    std::FILE* stream = level == LogLevel::Error ? err_ : out_;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void HeadlessConsole::logLineAppended(std::string_view line) {
    write(levelOf(line), line);
}

void HeadlessConsole::userListChanged(const std::vector<std::string>& /*lines*/,
                                      int /*selectedIndex*/) {
    // The log already says who joined and left.
}

void HeadlessConsole::statusLineChanged(std::string_view /*text*/) {}

void HeadlessConsole::hostingChanged(bool /*hosting*/) {
    // The log's "The server is started." / "The server is stopped." say it.
}

void HeadlessConsole::showNotice(std::string_view caption, std::string_view text, NoticeKind kind) {
    std::string line;
    line.reserve(caption.size() + text.size() + 2);
    line += caption;
    line += ": ";
    line += text;
    write(kind == NoticeKind::Error ? LogLevel::Error : LogLevel::Info, line);
}

void HeadlessConsole::portIntegerRequired() {
    write(LogLevel::Error, "Tembrel Server: The port must be a whole number.");
}

void HeadlessConsole::spectrumCheckChanged(int /*dspCode*/) {}

void HeadlessConsole::fieldsChanged() {}

} // namespace tembrel::shell

// Single-key input for the watch command.
#include "WatchKeys.h"

#include <poll.h>
#include <unistd.h>

#include <array>

namespace tembrel::client {

namespace {

// Keys are read in small bites; a held key repeats, but not this fast.
constexpr std::size_t kKeyBuffer = 16;

} // namespace

KeyReader::KeyReader(int fd) : fd_(fd) {
    if (::isatty(fd_) != 1 || ::tcgetattr(fd_, &saved_) != 0) {
        return;
    }
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = ::tcsetattr(fd_, TCSANOW, &raw) == 0;
}

KeyReader::~KeyReader() {
    if (active_) {
        (void)::tcsetattr(fd_, TCSANOW, &saved_);
    }
}

std::string KeyReader::pending() {
    if (!active_) {
        return {};
    }
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, 0) <= 0 || (ready.revents & POLLIN) == 0) {
        return {};
    }
    std::array<char, kKeyBuffer> keys{};
    const ssize_t got = ::read(fd_, keys.data(), keys.size());
    return got > 0 ? std::string(keys.data(), static_cast<std::size_t>(got)) : std::string{};
}

std::optional<WatchAction> watchAction(char key) noexcept {
    switch (key) {
    case ' ':
        return WatchAction::PauseResume;
    case 'n':
        return WatchAction::NextTrack;
    case 'p':
        return WatchAction::PreviousTrack;
    case '+':
    case '=':
        return WatchAction::VolumeUp;
    case '-':
        return WatchAction::VolumeDown;
    case 'q':
    case 'Q':
        return WatchAction::Quit;
    default:
        return std::nullopt;
    }
}

std::string_view actionCommand(WatchAction action, std::string_view state) noexcept {
    switch (action) {
    case WatchAction::PauseResume:
        return state == "Playing" || state == "Paused" ? "Pause" : "Play";
    case WatchAction::NextTrack:
        return "End";
    case WatchAction::PreviousTrack:
        return "Start";
    case WatchAction::VolumeUp:
        return "Up";
    case WatchAction::VolumeDown:
        return "Down";
    case WatchAction::Quit:
        break;
    }
    return {};
}

} // namespace tembrel::client

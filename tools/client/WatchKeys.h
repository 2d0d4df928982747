// The keys of the watch command: the terminal in single-key mode while it
// runs, and what each key asks the server to do.
#pragma once

#include <termios.h>

#include <optional>
#include <string>
#include <string_view>

namespace tembrel::client {

// Puts a terminal into single-key mode (no line editing, no echo) for as long
// as it lives and gives the keys typed so far without waiting. Ctrl-C keeps
// sending SIGINT. Does nothing when the descriptor is not a terminal.
class KeyReader {
public:
    explicit KeyReader(int fd);
    ~KeyReader();
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;

    [[nodiscard]] bool active() const noexcept { return active_; }
    // The keys waiting to be read (at most a small buffer's worth).
    [[nodiscard]] std::string pending();

private:
    int fd_;
    bool active_ = false;
    termios saved_{};
};

enum class WatchAction { PauseResume, NextTrack, PreviousTrack, VolumeUp, VolumeDown, Quit };

// space: pause or resume; n / p: next or previous track; + / -: volume;
// q: quit. Other keys do nothing.
[[nodiscard]] std::optional<WatchAction> watchAction(char key) noexcept;

// The command an action sends, given the play state ("Playing", "Paused",
// "Stopped"); empty for Quit. Space starts playback when stopped.
[[nodiscard]] std::string_view actionCommand(WatchAction action, std::string_view state) noexcept;

} // namespace tembrel::client

// How serious a line of the server log is, for the headless log's level
// prefix and its choice of stream. The log's texts are fixed (clients and
// people read them), so the level of a line is read from its form.
#pragma once

#include <string_view>

namespace tembrel::shell {

enum class LogLevel {
    // Something the server should do does not work: it cannot listen, a music
    // folder cannot be read, the settings or the playlist cannot be saved.
    Error,
    // The server goes on, but not as asked: a setting is ignored, a peer is
    // refused, the sound goes to the silent output, a user is dropped after
    // a fault.
    Warning,
    // Everything else: what the server does and who comes and goes.
    Info,
};

[[nodiscard]] LogLevel levelOf(std::string_view line) noexcept;

} // namespace tembrel::shell

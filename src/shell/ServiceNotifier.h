// Tells a service manager (systemd, Type=notify) how the headless server is
// doing: ready once it listens, reloading during a rescan, stopping at exit.
// Without libsystemd at build time, or outside a notify unit, it does nothing.
#pragma once

#include <string_view>

namespace tembrel::shell {

class ServiceNotifier {
public:
    void ready() const;
    void reloading() const;
    void stopping() const;
    // A one-line state for `systemctl status`.
    void status(std::string_view text) const;
};

} // namespace tembrel::shell

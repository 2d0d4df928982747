#pragma once

// Log lines about refused connections, at most one a minute for each peer
// address and cause, so that a stranger hammering the port cannot flood the
// log. Lines that were held back are counted in the next one.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include <QHostAddress>

namespace tembrel::net {

class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    using Sink = std::function<void(std::string_view line)>;

    // One line per address and cause within this time.
    static constexpr std::chrono::seconds kInterval{60};
    // Addresses remembered at once; beyond this, refusals of addresses not
    // yet remembered are not logged until older entries expire.
    static constexpr std::size_t kMaxRemembered = 4096;

    void setSink(Sink sink) { sink_ = std::move(sink); }

    // Logs "Connection from ADDRESS refused: CAUSE." unless one was logged
    // for the same address and cause within kInterval.
    void refused(const QHostAddress& address, std::string_view cause, Clock::time_point now);
    void refused(const QHostAddress& address, std::string_view cause) {
        refused(address, cause, Clock::now());
    }

private:
    struct Entry {
        Clock::time_point logged;
        std::size_t heldBack = 0;
    };
    void forgetExpired(Clock::time_point now);

    Sink sink_;
    std::map<std::pair<std::string, std::string>, Entry> entries_;
};

} // namespace tembrel::net

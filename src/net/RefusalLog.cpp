// Rate-limited log lines about refused connections.
#include "net/RefusalLog.h"

#include <iterator>

#include "net/AddressPolicy.h"

namespace tembrel::net {

void RefusalLog::forgetExpired(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = now - it->second.logged >= kInterval ? entries_.erase(it) : std::next(it);
    }
}

void RefusalLog::refused(const QHostAddress& address, std::string_view cause,
                         Clock::time_point now) {
    if (!sink_) {
        return;
    }
    // A dual-stack listener reports IPv4 peers as ::ffff:a.b.c.d; the log
    // names them as the IPv4 addresses they are.
    const std::string who = address.isNull()
                                ? std::string("an unknown address")
                                : AddressPolicy::unmapped(address).toString().toStdString();
    auto key = std::make_pair(who, std::string(cause));
    auto it = entries_.find(key);
    if (it != entries_.end() && now - it->second.logged < kInterval) {
        ++it->second.heldBack;
        return;
    }
    std::size_t heldBack = 0;
    if (it != entries_.end()) {
        heldBack = it->second.heldBack;
        entries_.erase(it);
    }
    if (entries_.size() >= kMaxRemembered) {
        forgetExpired(now);
        if (entries_.size() >= kMaxRemembered) {
            return;
        }
    }
    entries_.emplace(std::move(key), Entry{now, 0});
    std::string line = "Connection from " + who + " refused: " + std::string(cause) + ".";
    if (heldBack > 0) {
        line += " (" + std::to_string(heldBack) + " more since the last such line)";
    }
    sink_(line);
}

} // namespace tembrel::net

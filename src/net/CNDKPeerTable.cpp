// User table: admission-ordered entries looked up linearly (at most a few
// dozen users).
#include "net/CNDKPeerTable.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tembrel::net {

std::int32_t CNDKPeerTable::add(std::unique_ptr<UserTransport> transport) {
    if (lastUserId_ == std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    CNDKPeer peer;
    peer.userId = ++lastUserId_;
    peer.transport = std::move(transport);
    entries_.push_back(std::move(peer));
    return lastUserId_;
}

CNDKPeer* CNDKPeerTable::find(std::int32_t userId) noexcept {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [userId](const CNDKPeer& p) { return p.userId == userId; });
    return it == entries_.end() ? nullptr : &*it;
}

CNDKPeer* CNDKPeerTable::find(const UserTransport* transport) noexcept {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [transport](const CNDKPeer& p) {
        return p.transport.get() == transport;
    });
    return it == entries_.end() ? nullptr : &*it;
}

std::unique_ptr<UserTransport> CNDKPeerTable::remove(std::int32_t userId) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [userId](const CNDKPeer& p) { return p.userId == userId; });
    if (it == entries_.end()) {
        return nullptr;
    }
    std::unique_ptr<UserTransport> transport = std::move(it->transport);
    entries_.erase(it);
    return transport;
}

std::vector<CNDKPeer> CNDKPeerTable::removeAll() noexcept {
    return std::exchange(entries_, {});
}

} // namespace tembrel::net

// User table: admission-ordered entries looked up linearly (at most a few
// dozen users).
#include "net/CNDKPeerTable.h"

#include <algorithm>
#include <limits>

namespace tembrel::net {

std::int32_t CNDKPeerTable::add(std::unique_ptr<CNDKSocket> socket) {
    if (lastUserId_ == std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    entries_.push_back(CNDKPeer{++lastUserId_, std::move(socket)});
    return lastUserId_;
}

CNDKSocket* CNDKPeerTable::find(std::int32_t userId) const noexcept {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [userId](const CNDKPeer& p) { return p.userId == userId; });
    return it == entries_.end() ? nullptr : it->socket.get();
}

std::int32_t CNDKPeerTable::idOf(const CNDKSocket* socket) const noexcept {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [socket](const CNDKPeer& p) { return p.socket.get() == socket; });
    return it == entries_.end() ? 0 : it->userId;
}

std::unique_ptr<CNDKSocket> CNDKPeerTable::remove(std::int32_t userId) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [userId](const CNDKPeer& p) { return p.userId == userId; });
    if (it == entries_.end()) {
        return nullptr;
    }
    std::unique_ptr<CNDKSocket> socket = std::move(it->socket);
    entries_.erase(it);
    return socket;
}

std::vector<CNDKPeer> CNDKPeerTable::removeAll() noexcept {
    return std::exchange(entries_, {});
}

} // namespace tembrel::net

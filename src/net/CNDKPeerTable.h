#pragma once

// The connected users in order of admission, each with its transport, and
// the user id counter that keeps counting for the life of the host.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <vector>

#include "net/CNDKMessage.h"
#include "net/UserTransport.h"

namespace tembrel::net {

// One user's entry: its id (1 and up), its transport (owned by the table) and
// the host's receive state for it.
struct CNDKPeer {
    std::int32_t userId = 0;
    std::unique_ptr<UserTransport> transport;
    // A batch of this user's messages is being handed on. The server's own
    // callbacks never run a nested event loop (its message boxes are not
    // modal), but a derived host's callback may; input reported meanwhile is
    // then taken by the receive already under way, which keeps the order.
    bool handingOn = false;
    // Input arrived while the backlog was too large to read it; it is taken
    // when the backlog has gone down.
    bool inputWaiting = false;
    // The host's owner holds this user's input (CNDKHost::holdInput); the
    // messages of the read under way that were not handed on yet wait here.
    bool inputHeld = false;
    std::deque<CNDKMessage> heldMessages;
    // The backlog is above the stalled level: the lowest level seen since it
    // went above, and when it was seen.
    bool backlogWatched = false;
    std::size_t backlogLow = 0;
    std::chrono::steady_clock::time_point backlogLowSince{};
};

class CNDKPeerTable {
public:
    // Adds the transport under the next user id and returns that id; 0 (and
    // the transport is not added) once every positive id has been issued.
    [[nodiscard]] std::int32_t add(std::unique_ptr<UserTransport> transport);
    // Whether add() can still issue an id.
    [[nodiscard]] bool hasFreeId() const noexcept {
        return lastUserId_ < std::numeric_limits<std::int32_t>::max();
    }
    // The entry of `userId`, or null.
    [[nodiscard]] CNDKPeer* find(std::int32_t userId) noexcept;
    // The entry holding `transport`, or null.
    [[nodiscard]] CNDKPeer* find(const UserTransport* transport) noexcept;
    // Unlinks the entry of `userId` and hands back its transport (null when
    // the id is not in the table).
    [[nodiscard]] std::unique_ptr<UserTransport> remove(std::int32_t userId);
    // Unlinks every entry, in admission order.
    [[nodiscard]] std::vector<CNDKPeer> removeAll() noexcept;

    [[nodiscard]] int count() const noexcept { return static_cast<int>(entries_.size()); }
    [[nodiscard]] const std::vector<CNDKPeer>& entries() const noexcept { return entries_; }
    [[nodiscard]] std::vector<CNDKPeer>& entries() noexcept { return entries_; }

private:
    std::vector<CNDKPeer> entries_;
    std::int32_t lastUserId_ = 0;
};

} // namespace tembrel::net

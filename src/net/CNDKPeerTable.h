#pragma once

// The connected users in order of admission, each with its connection, and
// the user id counter that keeps counting for the life of the host.

#include <cstdint>
#include <memory>
#include <vector>

#include "net/CNDKSocket.h"

namespace tembrel::net {

// One user's entry: its id (1 and up) and its connection, owned by the table.
struct CNDKPeer {
    std::int32_t userId = 0;
    std::unique_ptr<CNDKSocket> socket;
};

class CNDKPeerTable {
public:
    // Adds the connection under the next user id and returns that id; 0 (and
    // the connection is not added) once every positive id has been issued.
    [[nodiscard]] std::int32_t add(std::unique_ptr<CNDKSocket> socket);
    // The connection of `userId`, or null.
    [[nodiscard]] CNDKSocket* find(std::int32_t userId) const noexcept;
    // The id of the entry holding `socket`, or 0.
    [[nodiscard]] std::int32_t idOf(const CNDKSocket* socket) const noexcept;
    // Unlinks the entry of `userId` and hands back its connection (null when
    // the id is not in the table).
    [[nodiscard]] std::unique_ptr<CNDKSocket> remove(std::int32_t userId);
    // Unlinks every entry, in admission order.
    [[nodiscard]] std::vector<CNDKPeer> removeAll() noexcept;

    [[nodiscard]] int count() const noexcept { return static_cast<int>(entries_.size()); }
    [[nodiscard]] const std::vector<CNDKPeer>& entries() const noexcept { return entries_; }

private:
    std::vector<CNDKPeer> entries_;
    std::int32_t lastUserId_ = 0;
};

} // namespace tembrel::net

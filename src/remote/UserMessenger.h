// How the controller's collaborators reach the users without knowing the
// host: a reply to one user, or one broadcast to all of them.
#pragma once

#include <cstdint>

#include "net/CNDKMessage.h"

namespace tembrel::remote {

class UserMessenger {
public:
    virtual ~UserMessenger() = default;

    // Sends to one user unless it has been dropped already; false when
    // nothing was sent.
    virtual bool replyTo(std::int32_t userId, const net::CNDKMessage& message) = 0;
    // Sends to every user, the sender of the message being handled included.
    // The message is encoded once for all of them.
    virtual void broadcast(const net::CNDKMessage& message) = 0;
};

} // namespace tembrel::remote

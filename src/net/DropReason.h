#pragma once

namespace tembrel::net {

// Why a user left the user table.
enum class DropReason {
    ClosedByServer = 0, // dropUser
    UserLeft = 1,       // the user sent a leave message (-4)
    SendFailed = 2,     // a send failed, or the id was not in the table
    ReceiveFailed = 3,  // a read failed or the bytes did not form a message
};

} // namespace tembrel::net

// Session events: the join and leave sequences and the disconnect buttons.
#include "protocol/Messages.h"
#include "remote/CServerDlg.h"
#include "remote/ClientText.h"
#include "remote/EventText.h"
#include "remote/MessageBounds.h"

namespace tembrel::remote {

namespace {

using protocol::Reply;

[[nodiscard]] EventId dropEvent(net::DropReason reason) noexcept {
    switch (reason) {
    case net::DropReason::ClosedByServer:
        return EventId::ClosedByServer;
    case net::DropReason::UserLeft:
        return EventId::UserLeft;
    case net::DropReason::SendFailed:
        return EventId::SendFailed;
    case net::DropReason::ReceiveFailed:
        break;
    }
    return EventId::ReceiveFailed;
}

} // namespace

void CServerDlg::handleJoin(std::int32_t userId, net::CNDKMessage& message) {
    // A join read in the same batch as the user's leave notice arrives after
    // the user is gone; it would list and announce a user nobody can reach.
    if (!roster_.isConnected(userId)) {
        return;
    }
    std::string name;
    message.readValue(protocol::kUserNameValue, name);
    // Everyone is sent the name and whatever else the join carries: a long
    // name is cut, and an oversized join keeps only the name.
    if (std::string cut = cutToChars(name, kMaxUserNameChars); cut.size() != name.size()) {
        name = std::move(cut);
        message.putText(protocol::kUserNameValue, name);
    }
    if (messageBytes(message) > kMaxRepeatedCommandBytes) {
        keepFirstValues(message, protocol::kUserNameValue + 1);
    }
    roster_.addUserEntry(userId, name);
    logEvent(eventText(EventId::UserJoined, name));

    // The others learn the newcomer's name from the join message as it came.
    sendToAllUsersExcept(userId, message);

    browser_.sendPlaylist(userId, message);
    browser_.sendArtists(userId, message);

    // The switches set only value 0; value 1 keeps what the message held.
    protocol::putReply(message, playlist_.shuffle() == 1 ? Reply::ShuffleOn : Reply::ShuffleOff);
    (void)replyTo(userId, message);
    protocol::putReply(message, playlist_.repeat() == 1 ? Reply::RepeatOn : Reply::RepeatOff);
    (void)replyTo(userId, message);

    status_.push(message);

    const auto replyTotal = [&](Reply reply, int total) {
        protocol::putReply(message, reply, std::to_string(total));
        (void)replyTo(userId, message);
    };
    replyTotal(Reply::NumArtists, library_.artistTotal());
    replyTotal(Reply::NumAlbums, library_.albumTotal());
    replyTotal(Reply::TotalTracks, library_.trackTotal());
}

void CServerDlg::onUserDropped(std::int32_t userId, net::DropReason reason) {
    roster_.userDisconnected(userId);
    const std::string name = roster_.userName(userId);
    sendToAllUsers(protocol::leaveMessage(name));
    logEvent(eventText(dropEvent(reason), name));
    log_.forgetUser(userId, name);
    roster_.forgetUser(userId);
    uploads_.forget(userId);
    work_.forget(userId);
    usersPresenceChanged();
}

void CServerDlg::disconnectSelectedUser() {
    const int userId = roster_.selectedUserId();
    if (userId != -1) {
        dropUser(userId);
    }
}

void CServerDlg::disconnectAllUsers() {
    dropAllUsers();
    clearUsers();
}

void CServerDlg::clearUsers() {
    roster_.clear();
    uploads_.closeAll();
    usersPresenceChanged();
}

} // namespace tembrel::remote

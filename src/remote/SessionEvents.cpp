// Session events: the join and leave sequences, the user list with its
// selection, the disconnect buttons and the server log.
#include <algorithm>
#include <cctype>

#include "remote/CServerDlg.h"
#include "remote/EventText.h"

namespace tembrel::remote {

namespace {

// The list's alphabetical order: letters compare without regard to case;
// names equal that way fall back to their bytes so the order is total.
[[nodiscard]] bool listOrder(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

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

std::string CServerDlg::userName(std::int32_t userId) const {
    const auto found = userNames_.find(userId);
    return found == userNames_.end() ? std::string{} : found->second;
}

void CServerDlg::handleJoin(std::int32_t userId, net::CNDKMessage& message) {
    // A join read in the same batch as the user's leave notice arrives after
    // the user is gone; it would list and announce a user nobody can reach.
    if (!connectedUsers_.contains(userId)) {
        return;
    }
    std::string name;
    message.readValue(0, name);
    addUserEntry(userId, name);
    logEvent(eventText(EventId::UserJoined, name));

    // The others learn the newcomer's name from the join message as it came.
    sendToAllUsersExcept(userId, message);

    const auto reply = [&](std::string_view replyName, const std::string* payload) {
        message.putText(0, replyName);
        if (payload != nullptr) {
            message.putText(1, *payload);
        }
        (void)replyTo(userId, message);
    };

    for (int index = 0; index < playlist_.count(); ++index) {
        const playback::PlaylistEntry& entry = playlist_.entry(index);
        const std::string track = entry.artist + "\\" + entry.title + "\\" + entry.length;
        reply("^AddTrack", &track);
    }
    for (int slot = 1; slot < library_.nextArtistSlot(); ++slot) {
        reply("^AddArtist", &library_.artist(slot).name);
    }

    // The switches set only value 0; value 1 keeps what the message held.
    reply(playlist_.shuffle() == 1 ? "^ShuffleOn" : "^ShuffleOff", nullptr);
    reply(playlist_.repeat() == 1 ? "^RepeatOn" : "^RepeatOff", nullptr);

    pushStatus(message);

    const std::string artists = std::to_string(library_.artistTotal());
    const std::string albums = std::to_string(library_.albumTotal());
    const std::string tracks = std::to_string(library_.trackTotal());
    reply("^NumArtists", &artists);
    reply("^NumAlbums", &albums);
    reply("^TotalTracks", &tracks);
}

bool CServerDlg::replyTo(std::int32_t userId, const net::CNDKMessage& message) {
    // A user dropped while its message was being answered (or before a later
    // message of the same read was handed on) is gone: sending would only
    // report the drop again, with a second leave message to everyone.
    if (!connectedUsers_.contains(userId)) {
        return false;
    }
    return sendToUser(userId, message);
}

void CServerDlg::onUserDropped(std::int32_t userId, net::DropReason reason) {
    connectedUsers_.erase(userId);
    const std::string name = userName(userId);
    net::CNDKMessage leave(kIdLeave);
    leave.appendText(name);
    sendToAllUsers(leave);
    logEvent(eventText(dropEvent(reason), name));
    removeUserEntry(userId);
    selections_.erase(userId);
}

void CServerDlg::addUserEntry(std::int32_t userId, const std::string& name) {
    userNames_[userId] = name;
    const auto at = std::upper_bound(userLines_.begin(), userLines_.end(), name, listOrder);
    selectedLine_ = static_cast<int>(at - userLines_.begin());
    userLines_.insert(at, name);
    view_.userListChanged(userLines_, selectedLine_);
}

void CServerDlg::removeUserEntry(std::int32_t userId) {
    const auto found = userNames_.find(userId);
    if (found == userNames_.end()) {
        // A user that never joined has no line.
        return;
    }
    const std::string name = found->second;
    // The search starts after the first line and wraps around to it.
    const std::size_t lineCount = userLines_.size();
    for (std::size_t step = 1; step <= lineCount; ++step) {
        const std::size_t line = step % lineCount;
        if (userLines_[line] == name) {
            userLines_.erase(userLines_.begin() + static_cast<std::ptrdiff_t>(line));
            break;
        }
    }
    userNames_.erase(found);
    selectedLine_ = userLines_.empty() ? -1 : 0;
    view_.userListChanged(userLines_, selectedLine_);
}

int CServerDlg::selectedUserId() const {
    if (selectedLine_ < 0 || selectedLine_ >= static_cast<int>(userLines_.size())) {
        return -1;
    }
    const std::string& text = userLines_[static_cast<std::size_t>(selectedLine_)];
    for (const auto& [id, name] : userNames_) {
        if (name == text) {
            return id;
        }
    }
    return -1;
}

void CServerDlg::selectUserLine(int index) {
    if (index < -1 || index >= static_cast<int>(userLines_.size())) {
        return;
    }
    // The view already shows this selection.
    selectedLine_ = index;
}

void CServerDlg::disconnectSelectedUser() {
    const int userId = selectedUserId();
    if (userId != -1) {
        dropUser(userId);
    }
}

void CServerDlg::disconnectAllUsers() {
    dropAllUsers();
    clearUsers();
}

void CServerDlg::clearUsers() {
    connectedUsers_.clear();
    userNames_.clear();
    userLines_.clear();
    selectedLine_ = -1;
    selections_.clear();
    view_.userListChanged(userLines_, selectedLine_);
}

void CServerDlg::appendLog(std::string_view text) {
    view_.logLineAppended(text);
}

void CServerDlg::logEvent(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 4);
    line += "* ";
    line += text;
    line += " *";
    appendLog(line);
}

} // namespace tembrel::remote

// Who is connected and who has joined: user ids, their names, the user list
// lines the window shows with its selection, and each user's browsing
// selection.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "remote/ServerView.h"

namespace tembrel::remote {

class UserRoster {
public:
    // The artist and album a user opened last (GetAlbums, GetAlbumTracks).
    struct Selection {
        int artist = 0;
        int album = 0;
    };

    explicit UserRoster(ServerView& view) noexcept : view_(view) {}

    // The host admitted the user, or removed it.
    void userConnected(std::int32_t userId) { connectedUsers_.insert(userId); }
    void userDisconnected(std::int32_t userId) { connectedUsers_.erase(userId); }
    // Forgets a removed user's list line, name and browsing selection.
    void forgetUser(std::int32_t userId);
    [[nodiscard]] bool isConnected(std::int32_t userId) const {
        return connectedUsers_.contains(userId);
    }
    [[nodiscard]] bool anyoneConnected() const noexcept { return !connectedUsers_.empty(); }

    // A joined user: its name replaces an earlier one, and a line with the
    // name is added to the list (kept in alphabetical order) and selected.
    void addUserEntry(std::int32_t userId, const std::string& name);
    // Removes the list line holding the user's name (the search starts after
    // the first line and wraps around to it) and the name itself.
    void removeUserEntry(std::int32_t userId);
    // Forgets every user: connections, names, list lines, selections.
    void clear();

    // The name from the user's join message; empty for a user that never joined.
    [[nodiscard]] std::string userName(std::int32_t userId) const;
    // The user whose name the selected line shows; -1 for none.
    [[nodiscard]] int selectedUserId() const;
    // The view changed the selection (-1: none); out-of-range lines are ignored.
    void selectLine(int index);

    [[nodiscard]] const std::map<std::int32_t, std::string>& names() const noexcept {
        return userNames_;
    }
    [[nodiscard]] const std::vector<std::string>& lines() const noexcept { return userLines_; }

    // The user's browsing selection; artist slot 0 for a user that opened none.
    [[nodiscard]] Selection selection(std::int32_t userId) const;
    [[nodiscard]] Selection& selectionFor(std::int32_t userId) { return selections_[userId]; }

private:
    void showList() { view_.userListChanged(userLines_, selectedLine_); }

    ServerView& view_;
    // The users the host holds now (admitted and not dropped).
    std::set<std::int32_t> connectedUsers_;
    std::map<std::int32_t, std::string> userNames_;
    std::vector<std::string> userLines_;
    int selectedLine_ = -1;
    std::unordered_map<std::int32_t, Selection> selections_;
};

} // namespace tembrel::remote

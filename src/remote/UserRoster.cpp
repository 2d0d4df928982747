// The user roster: names, list lines with their selection, and selections.
#include "remote/UserRoster.h"

#include <algorithm>
#include <cctype>

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

} // namespace

void UserRoster::forgetUser(std::int32_t userId) {
    removeUserEntry(userId);
    selections_.erase(userId);
}

void UserRoster::addUserEntry(std::int32_t userId, const std::string& name) {
    userNames_[userId] = name;
    const auto at = std::upper_bound(userLines_.begin(), userLines_.end(), name, listOrder);
    selectedLine_ = static_cast<int>(at - userLines_.begin());
    userLines_.insert(at, name);
    showList();
}

void UserRoster::removeUserEntry(std::int32_t userId) {
    const auto found = userNames_.find(userId);
    if (found == userNames_.end()) {
        // A user that never joined has no line.
        return;
    }
    const std::string name = found->second;
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
    showList();
}

void UserRoster::clear() {
    connectedUsers_.clear();
    userNames_.clear();
    userLines_.clear();
    selectedLine_ = -1;
    selections_.clear();
    showList();
}

std::string UserRoster::userName(std::int32_t userId) const {
    const auto found = userNames_.find(userId);
    return found == userNames_.end() ? std::string{} : found->second;
}

int UserRoster::selectedUserId() const {
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

void UserRoster::selectLine(int index) {
    if (index < -1 || index >= static_cast<int>(userLines_.size())) {
        return;
    }
    // The view already shows this selection.
    selectedLine_ = index;
}

UserRoster::Selection UserRoster::selection(std::int32_t userId) const {
    const auto found = selections_.find(userId);
    return found != selections_.end() ? found->second : Selection{};
}

} // namespace tembrel::remote

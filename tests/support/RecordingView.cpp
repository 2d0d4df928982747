// The recording view's queries.
#include "support/RecordingView.h"

namespace tembrel::test {

int RecordingView::logIndex(std::string_view line, int from) const {
    for (std::size_t i = from < 0 ? 0 : static_cast<std::size_t>(from); i < log.size(); ++i) {
        if (log[i] == line) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

RecordingView::UserList RecordingView::currentUsers() const {
    return userLists.empty() ? UserList{} : userLists.back();
}

void RecordingView::clear() {
    log.clear();
    userLists.clear();
    statusLines.clear();
    hosting.clear();
    notices.clear();
    portPrompts = 0;
    checkMarks.clear();
    fieldChanges = 0;
}

} // namespace tembrel::test

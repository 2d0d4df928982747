// The string table of the server's event texts.
#include "remote/EventText.h"

#include <array>
#include <utility>

#include "remote/ClientText.h"

namespace tembrel::remote {

namespace {

constexpr std::array<std::pair<EventId, std::string_view>, 10> kEventTexts{{
    {EventId::CannotStart, "Cannot start the server."},
    {EventId::ServerStopped, "The server is stopped."},
    {EventId::ServerStarted, "The server is started."},
    {EventId::PingMeasured, "The ping from the %s is received in %d milliseconds."},
    {EventId::UserJoined, "%s joined the server."},
    {EventId::UserLeft, "%s left the server."},
    {EventId::BigMessage, "The server received the big message from %s."},
    {EventId::ClosedByServer, "The server closed the connection of %s."},
    {EventId::ReceiveFailed,
     "An error occurred while receiving message from %s. The server closed the connection."},
    {EventId::SendFailed,
     "An error occurred while sending message to %s. The server closed the connection."},
}};

} // namespace

std::string_view eventTemplate(EventId id) noexcept {
    for (const auto& [key, text] : kEventTexts) {
        if (key == id) {
            return text;
        }
    }
    return {};
}

std::string eventText(EventId id, std::string_view name, std::int64_t number) {
    const std::string_view pattern = eventTemplate(id);
    const std::string shownName = forLog(name);
    std::string out;
    out.reserve(pattern.size() + shownName.size() + 8);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                out += shownName;
                ++i;
                continue;
            }
            if (pattern[i + 1] == 'd') {
                out += std::to_string(number);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace tembrel::remote

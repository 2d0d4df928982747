// The server's event texts (the string table of the log and the notices),
// looked up by their resource number and filled in with a name or a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tembrel::remote {

enum class EventId : int {
    CannotStart = 102,
    ServerStopped = 103,
    ServerStarted = 104,
    PingMeasured = 105,
    UserJoined = 112,
    UserLeft = 113,
    BigMessage = 115,
    ClosedByServer = 116,
    ReceiveFailed = 117,
    SendFailed = 118,
};

// The raw text of an event, with its "%s" / "%d" placeholders.
[[nodiscard]] std::string_view eventTemplate(EventId id) noexcept;

// The text with every "%s" replaced by `name` (a client's text, shown as
// forLog shows it) and every "%d" by `number`, in one pass (a "%" inside
// `name` is never read as a placeholder).
[[nodiscard]] std::string eventText(EventId id, std::string_view name = {},
                                    std::int64_t number = 0);

} // namespace tembrel::remote

// The application's message identifiers. Identifiers -1 to -5 belong to the
// messaging layer (net/CNDKMessage.h); the application uses 0 to 3.
#pragma once

#include <cstdint>

namespace tembrel::protocol {

// Client to server: a user announces its name (value 0, Text). The server
// forwards it to the other users and answers the newcomer in it.
inline constexpr std::int32_t kIdJoin = 0;
// Server to clients: a user has left (value 0, its name as Text).
inline constexpr std::int32_t kIdLeave = 1;
// Client to server: a command; the replies built in it keep this identifier.
inline constexpr std::int32_t kIdCommand = 2;
// Client to server: a test message carrying one value of every type.
inline constexpr std::int32_t kIdBigMessage = 3;

} // namespace tembrel::protocol

// How much of a client's message the server is willing to repeat to others.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/CNDKMessage.h"

namespace tembrel::remote {

// The largest command (other than the upload ones) the server acts on; its
// replies and the status broadcast reuse the message, so a larger one would
// let one user fill every other user's send backlog.
inline constexpr std::size_t kMaxRepeatedCommandBytes = 4096;
// The per-value overhead counted on top of a value's content.
inline constexpr std::size_t kValueOverheadBytes = 9;

// The bytes a message's values take, about as encoded.
[[nodiscard]] std::size_t messageBytes(const net::CNDKMessage& message) noexcept;

// The message with its values past `keep` removed.
void keepFirstValues(net::CNDKMessage& message, std::int32_t keep);

} // namespace tembrel::remote

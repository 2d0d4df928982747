#pragma once

// Writing to a connection's descriptor without going through Qt's buffer, and
// the system's listen backlog limit: the one place the messaging layer uses
// the system's socket API.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tembrel::net {

// Hands as much of `bytes` as the non-blocking socket `descriptor` takes at
// once to the system; returns how many it took (0 when it took none or
// failed: the caller leaves the rest, and any error, to Qt).
[[nodiscard]] std::size_t sendWithoutBlocking(std::intptr_t descriptor,
                                              std::span<const std::uint8_t> bytes) noexcept;

// The largest listen backlog the system takes (a larger request is cut down
// to its limit), so that a burst of connections is queued rather than made to
// retry: a handshake the queue cannot take is completed later, out of order.
[[nodiscard]] int maxListenBacklog() noexcept;

} // namespace tembrel::net

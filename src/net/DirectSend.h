#pragma once

// Writing to a connection's descriptor without going through Qt's buffer:
// the one place the messaging layer calls the system's socket API.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tembrel::net {

// Hands as much of `bytes` as the non-blocking socket `descriptor` takes at
// once to the system; returns how many it took (0 when it took none or
// failed: the caller leaves the rest, and any error, to Qt).
[[nodiscard]] std::size_t sendWithoutBlocking(std::intptr_t descriptor,
                                              std::span<const std::uint8_t> bytes) noexcept;

} // namespace tembrel::net

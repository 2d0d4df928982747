#pragma once

namespace tembrel::net {

// Hands memory the process has freed back to the system where the allocator
// keeps it otherwise (after a large backlog is dropped, its pages would stay
// with the process). Does nothing where the allocator offers no such call.
void returnFreedMemory() noexcept;

} // namespace tembrel::net

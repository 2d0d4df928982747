// POSIX forms: the direct send (no SIGPIPE when the peer has gone) and the
// listen backlog limit.
#include "net/DirectSend.h"

#include <sys/socket.h>

namespace tembrel::net {

std::size_t sendWithoutBlocking(std::intptr_t descriptor,
                                std::span<const std::uint8_t> bytes) noexcept {
    if (descriptor < 0 || bytes.empty()) {
        return 0;
    }
    const ssize_t sent =
        ::send(static_cast<int>(descriptor), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

int maxListenBacklog() noexcept {
    return SOMAXCONN;
}

} // namespace tembrel::net

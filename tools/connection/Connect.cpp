// Opening a client connection: name resolution, a non-blocking connect
// bounded by the time limit, and the socket options a command channel wants.
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "connection/BlockingConnection.h"

namespace tembrel::client {

namespace {

std::string describePeer(const std::string& host, int port) {
    const bool ipv6Literal = host.find(':') != std::string::npos;
    return (ipv6Literal ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace

bool BlockingConnection::open(const std::string& host, int port) {
    return open(host, port, timeout_);
}

bool BlockingConnection::open(const std::string& host, int port, std::chrono::milliseconds limit) {
    close();
    peer_ = describePeer(host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        return fail("cannot connect to " + peer_ + ": " + ::gai_strerror(rc));
    }
    std::string error = "no address";
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (connectTo(a->ai_addr, a->ai_addrlen, limit, error)) {
            ::freeaddrinfo(found);
            return true;
        }
    }
    ::freeaddrinfo(found);
    return fail("cannot connect to " + peer_ + ": " + error);
}

bool BlockingConnection::connectTo(const void* address, unsigned length,
                                   std::chrono::milliseconds limit, std::string& error) {
    const auto* socketAddress = static_cast<const sockaddr*>(address);
    UniqueFd fd(::socket(socketAddress->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::strerror(errno);
        return false;
    }
    if (::connect(fd.get(), socketAddress, length) != 0) {
        if (errno != EINPROGRESS) {
            error = std::strerror(errno);
            return false;
        }
        const auto deadline = Clock::now() + limit;
        Ready ready = Ready::Interrupted;
        while (ready == Ready::Interrupted) {
            ready = waitReady(fd.get(), POLLOUT, deadline);
        }
        if (ready == Ready::TimedOut) {
            error = "timed out after " + std::to_string(limit.count()) + " ms";
            return false;
        }
        int soError = 0;
        socklen_t soLength = sizeof soError;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &soLength) != 0) {
            error = std::strerror(errno);
            return false;
        }
        if (soError != 0) {
            error = std::strerror(soError);
            return false;
        }
    }
    const int on = 1;
    // Commands are small and each waits for its replies: send them at once.
    (void)::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    adopt(std::move(fd));
    return true;
}

void BlockingConnection::adopt(UniqueFd socket) noexcept {
    close();
    socket_ = std::move(socket);
    receivedAny_ = false;
}

void BlockingConnection::close() noexcept {
    socket_.reset();
    inbox_.clear();
    progress_ = {};
    ended_ = false;
    malformed_ = false;
}

} // namespace tembrel::client

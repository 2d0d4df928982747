// Socket handling of the client connection: non-blocking descriptors, every
// wait bounded by poll() with a deadline.
#include "Connection.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "net/ValueType.h"

namespace tembrel::remote::client {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kReadChunkBytes = 64 * 1024;
// How long leave() waits for the server to acknowledge the departure.
constexpr auto kLeaveWait = 1000ms;

int remainingMs(std::chrono::steady_clock::time_point deadline) noexcept {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

std::string describePeer(const std::string& host, int port) {
    const bool ipv6Literal = host.find(':') != std::string::npos;
    return (ipv6Literal ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace

UniqueFd::~UniqueFd() {
    reset();
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool Connection::fail(std::string message) {
    failure_ = Failure{ExitCode::Connection, std::move(message)};
    socket_.reset();
    return false;
}

bool Connection::open(const std::string& host, int port) {
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
        if (connectTo(a->ai_addr, a->ai_addrlen, error)) {
            ::freeaddrinfo(found);
            return true;
        }
    }
    ::freeaddrinfo(found);
    return fail("cannot connect to " + peer_ + ": " + error);
}

bool Connection::connectTo(const void* address, unsigned length, std::string& error) {
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
        pollfd p{fd.get(), POLLOUT, 0};
        int ready = 0;
        const auto deadline = Clock::now() + timeout_;
        do {
            ready = ::poll(&p, 1, remainingMs(deadline));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            error = "timed out after " + std::to_string(timeout_.count()) + " ms";
            return false;
        }
        int soError = 0;
        socklen_t soLength = sizeof soError;
        if (ready < 0 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &soLength) != 0) {
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
    socket_ = std::move(fd);
    inbox_.clear();
    inboxStart_ = 0;
    receivedAny_ = false;
    return true;
}

bool Connection::send(const net::CNDKMessage& message) {
    if (!socket_.valid()) {
        return false;
    }
    const std::vector<std::uint8_t> bytes = net::CNDKArchive::encode(message);
    std::size_t sent = 0;
    const auto deadline = Clock::now() + timeout_;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(socket_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{socket_.get(), POLLOUT, 0};
            const int ready = ::poll(&p, 1, remainingMs(deadline));
            if (ready == 0) {
                return fail("the server at " + peer_ + " stopped taking data for " +
                            std::to_string(timeout_.count()) + " ms");
            }
            continue;
        }
        if (!receivedAny_) {
            return fail("the server at " + peer_ +
                        " refused the connection (it admits at most 20 users at a time)");
        }
        return fail("the server at " + peer_ + " closed the connection");
    }
    return true;
}

bool Connection::takeBuffered(net::CNDKMessage& out) {
    const std::span<const std::uint8_t> pending(inbox_.data() + inboxStart_,
                                                inbox_.size() - inboxStart_);
    if (pending.empty()) {
        return false;
    }
    std::size_t consumed = 0;
    switch (codec_.decode(pending, out, consumed)) {
    case net::CNDKArchive::Result::Complete:
        inboxStart_ += consumed;
        if (inboxStart_ == inbox_.size()) {
            inbox_.clear();
            inboxStart_ = 0;
        }
        receivedAny_ = true;
        return true;
    case net::CNDKArchive::Result::NeedMore:
        return false;
    case net::CNDKArchive::Result::Malformed:
        break;
    }
    return fail("the server at " + peer_ + " sent bytes that do not form a message");
}

Connection::Wait Connection::fill(Clock::time_point deadline) {
    pollfd p{socket_.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, remainingMs(deadline));
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return Wait::Idle;
    }
    if (inboxStart_ > 0) {
        inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(inboxStart_));
        inboxStart_ = 0;
    }
    const std::size_t oldSize = inbox_.size();
    inbox_.resize(oldSize + kReadChunkBytes);
    const ssize_t n = ::recv(socket_.get(), inbox_.data() + oldSize, kReadChunkBytes, 0);
    inbox_.resize(oldSize + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    if (n > 0) {
        return Wait::Message;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return Wait::Idle;
    }
    // The server closes a connection it does not admit before sending
    // anything at all.
    if (!receivedAny_) {
        (void)fail("the server at " + peer_ +
                   " refused the connection (it admits at most 20 users at a time)");
    } else if (n < 0) {
        (void)fail("the connection to " + peer_ + " failed: " + std::strerror(errno));
    } else {
        (void)fail("the server at " + peer_ + " closed the connection");
    }
    return Wait::Failed;
}

bool Connection::handleControl(const net::CNDKMessage& message) {
    switch (message.id()) {
    case net::kNdkIdPing: {
        std::uint32_t tick = 0;
        message.readValue(0, tick);
        net::CNDKMessage answer(net::kNdkIdPing);
        answer.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteD, tick));
        (void)send(answer);
        return false;
    }
    case net::kNdkIdServerStopping:
        return fail("the server at " + peer_ + " is stopping");
    case net::kNdkIdDropped:
        return fail("the server at " + peer_ + " dropped the connection");
    default:
        return true;
    }
}

Connection::Wait Connection::next(net::CNDKMessage& out, Clock::time_point deadline) {
    while (socket_.valid()) {
        if (takeBuffered(out)) {
            if (handleControl(out)) {
                return Wait::Message;
            }
            continue;
        }
        if (!socket_.valid()) {
            break;
        }
        const Wait filled = fill(deadline);
        if (filled != Wait::Message) {
            return filled;
        }
    }
    return Wait::Failed;
}

bool Connection::receive(net::CNDKMessage& out) {
    switch (next(out, Clock::now() + timeout_)) {
    case Wait::Message:
        return true;
    case Wait::Idle:
        return fail("no reply from the server at " + peer_ + " within " +
                    std::to_string(timeout_.count()) + " ms");
    case Wait::Failed:
        break;
    }
    return false;
}

Connection::Wait Connection::poll(net::CNDKMessage& out, std::chrono::milliseconds wait) {
    return next(out, Clock::now() + wait);
}

void Connection::leave() noexcept {
    if (!socket_.valid()) {
        return;
    }
    const Failure earlier = failure_;
    if (send(net::CNDKMessage(net::kNdkIdLeaving))) {
        // The server answers with its drop notice and closes; reading until
        // then keeps our own close from resetting the connection under it.
        ::shutdown(socket_.get(), SHUT_WR);
        const auto deadline =
            Clock::now() + std::min<std::chrono::milliseconds>(kLeaveWait, timeout_);
        while (socket_.valid() && Clock::now() < deadline) {
            inbox_.clear();
            inboxStart_ = 0;
            if (fill(deadline) == Wait::Failed) {
                break;
            }
        }
    }
    socket_.reset();
    failure_ = earlier;
}

} // namespace tembrel::remote::client

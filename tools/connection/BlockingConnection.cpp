// Sending and receiving on a client connection: non-blocking socket calls,
// every wait bounded by poll() with a deadline.
#include "connection/BlockingConnection.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

#include "net/ValueType.h"

namespace tembrel::client {

namespace {

using namespace std::chrono_literals;

// Room made for each read; a read that fills it is followed by another.
constexpr std::size_t kReadChunkBytes = 64 * 1024;
// How long leave() waits for the server to acknowledge the departure.
constexpr auto kLeaveWait = 1000ms;

// Milliseconds until `deadline`, rounded up so a wait never ends early.
int remainingMs(std::chrono::steady_clock::time_point deadline) noexcept {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT32_MAX));
}

} // namespace

void BlockingConnection::setWaitHook(std::function<void()> hook, std::chrono::milliseconds slice) {
    waitHook_ = std::move(hook);
    waitSlice_ = slice;
}

bool BlockingConnection::fail(std::string message) {
    failure_ = Failure{ExitCode::Connection, std::move(message)};
    socket_.reset();
    ended_ = true;
    return false;
}

BlockingConnection::Ready BlockingConnection::waitReady(int fd, short events,
                                                        Clock::time_point deadline) {
    for (;;) {
        int waitMs = remainingMs(deadline);
        if (waitHook_) {
            waitHook_();
            waitMs = std::min(waitMs, static_cast<int>(waitSlice_.count()));
        }
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, waitMs);
        if (ready < 0 && errno == EINTR) {
            return Ready::Interrupted;
        }
        // A poll error shows again in the socket call that follows.
        if (ready != 0) {
            return Ready::Yes;
        }
        if (Clock::now() >= deadline) {
            return Ready::TimedOut;
        }
    }
}

bool BlockingConnection::send(const net::CNDKMessage& message) {
    outbox_.clear();
    net::CNDKArchive::encode(message, outbox_);
    return sendRaw(outbox_);
}

bool BlockingConnection::sendRaw(std::span<const std::uint8_t> bytes) {
    if (!socket_.valid()) {
        return false;
    }
    const auto deadline = Clock::now() + timeout_;
    while (!bytes.empty()) {
        const ssize_t n = ::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitReady(socket_.get(), POLLOUT, deadline) == Ready::TimedOut) {
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

bool BlockingConnection::takeBuffered(net::CNDKMessage& out) {
    while (!inbox_.pending().empty()) {
        std::size_t consumed = 0;
        switch (codec_.decode(inbox_.pending(), out, consumed, progress_)) {
        case net::CNDKArchive::Result::Complete:
            inbox_.consume(consumed);
            receivedAny_ = true;
            if (handleControl(out)) {
                return true;
            }
            continue;
        case net::CNDKArchive::Result::NeedMore:
            return false;
        case net::CNDKArchive::Result::Malformed:
            break;
        }
        inbox_.clear();
        malformed_ = true;
        return fail("the server at " + peer_ + " sent bytes that do not form a message");
    }
    return false;
}

BlockingConnection::Wait BlockingConnection::fill(Clock::time_point deadline) {
    if (!socket_.valid()) {
        return Wait::Failed;
    }
    if (waitHook_) {
        // The caller's loop runs before each read, as it would have before
        // a wait, so what it has to send is already on its way.
        waitHook_();
    }
    bool read = false;
    for (;;) {
        const std::span<std::uint8_t> space = inbox_.space(kReadChunkBytes);
        const ssize_t n = ::recv(socket_.get(), space.data(), space.size(), 0);
        if (n > 0) {
            inbox_.commit(static_cast<std::size_t>(n));
            read = true;
            if (static_cast<std::size_t>(n) < space.size()) {
                return Wait::Message;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (read) {
            // What was read first is handed on; the end shows on the next read.
            return Wait::Message;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitReady(socket_.get(), POLLIN, deadline) != Ready::Yes) {
                return Wait::Idle;
            }
            continue;
        }
        return noteEnd(n, errno);
    }
}

BlockingConnection::Wait BlockingConnection::noteEnd(long result, int error) {
    // The server closes a connection it does not admit before sending
    // anything at all.
    if (!receivedAny_) {
        (void)fail("the server at " + peer_ +
                   " refused the connection (it admits at most 20 users at a time)");
    } else if (result < 0) {
        (void)fail("the connection to " + peer_ + " failed: " + std::strerror(error));
    } else {
        (void)fail("the server at " + peer_ + " closed the connection");
    }
    return Wait::Failed;
}

bool BlockingConnection::handleControl(const net::CNDKMessage& message) {
    switch (message.id()) {
    case net::kNdkIdPing: {
        if (!policy_.answerPings) {
            return true;
        }
        std::uint32_t tick = 0;
        message.readValue(0, tick);
        net::CNDKMessage answer(net::kNdkIdPing);
        answer.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteD, tick));
        (void)send(answer);
        return false;
    }
    case net::kNdkIdServerStopping:
    case net::kNdkIdDropped:
        if (!policy_.noticesEnd) {
            return true;
        }
        inbox_.clear();
        return fail(message.id() == net::kNdkIdDropped
                        ? "the server at " + peer_ + " dropped the connection"
                        : "the server at " + peer_ + " is stopping");
    default:
        return true;
    }
}

BlockingConnection::Wait BlockingConnection::next(net::CNDKMessage& out,
                                                  Clock::time_point deadline) {
    for (;;) {
        if (takeBuffered(out)) {
            return Wait::Message;
        }
        const Wait filled = fill(deadline);
        if (filled != Wait::Message) {
            return filled;
        }
    }
}

bool BlockingConnection::receive(net::CNDKMessage& out) {
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

BlockingConnection::Wait BlockingConnection::poll(net::CNDKMessage& out,
                                                  std::chrono::milliseconds wait) {
    return next(out, Clock::now() + wait);
}

BlockingConnection::Wait BlockingConnection::readAvailable(std::chrono::milliseconds wait) {
    return fill(Clock::now() + wait);
}

void BlockingConnection::leave() noexcept {
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
            if (fill(deadline) == Wait::Failed) {
                break;
            }
        }
    }
    close();
    failure_ = earlier;
}

} // namespace tembrel::client

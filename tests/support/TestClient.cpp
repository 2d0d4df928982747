// Loopback test client: non-blocking POSIX socket polled in short slices,
// with the Qt event loop pumped between slices.
#include "support/TestClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tembrel::test {

namespace {

using Clock = std::chrono::steady_clock;

// Longest single wait on the socket before the event loop gets another turn.
constexpr int kSliceMs = 2;
// A send that cannot hand its bytes to the kernel for this long fails.
constexpr int kSendTimeoutMs = 10'000;
constexpr std::size_t kReadChunk = 64 * 1024;

void processQtEvents() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitOn(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, ms) > 0;
}

} // namespace

TestClient::TestClient() = default;

TestClient::~TestClient() {
    close();
}

bool TestClient::connectTo(quint16 port, int timeoutMs) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return false;
    }
    const int one = 1;
    (void)::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 &&
        errno != EINPROGRESS) {
        close();
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        processQtEvents();
        if (waitOn(fd_, POLLOUT, kSliceMs)) {
            break;
        }
        if (Clock::now() >= deadline) {
            close();
            return false;
        }
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
        close();
        return false;
    }
    // Let a host in this process see the connection at once.
    processQtEvents();
    return true;
}

bool TestClient::send(const net::CNDKMessage& m) {
    const std::vector<std::uint8_t> bytes = net::CNDKArchive::encode(m);
    return sendRaw(bytes);
}

bool TestClient::sendRaw(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        processQtEvents();
        (void)waitOn(fd_, POLLOUT, kSliceMs);
    }
    processQtEvents();
    return true;
}

bool TestClient::pump(int waitMs) {
    processQtEvents();
    if (fd_ < 0 || peerClosed_) {
        return false;
    }
    if (!waitOn(fd_, POLLIN, waitMs)) {
        return true;
    }
    for (;;) {
        const std::size_t old = input_.size();
        input_.resize(old + kReadChunk);
        const ssize_t n = ::recv(fd_, input_.data() + old, kReadChunk, 0);
        input_.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n > 0) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        peerClosed_ = true; // end of stream or a reset
        break;
    }
    decodeAvailable();
    return !peerClosed_;
}

void TestClient::decodeAvailable() {
    std::size_t offset = 0;
    for (;;) {
        net::CNDKMessage message;
        std::size_t consumed = 0;
        const auto result = codec_.decode(std::span(input_).subspan(offset), message, consumed);
        if (result == net::CNDKArchive::Result::NeedMore) {
            break;
        }
        if (result == net::CNDKArchive::Result::Malformed) {
            ADD_FAILURE() << "the server sent bytes that do not form a message";
            offset = input_.size();
            peerClosed_ = true;
            break;
        }
        offset += consumed;
        if (autoAnswerPings_ && message.id() == net::kNdkIdPing) {
            (void)send(message);
            continue;
        }
        queue_.push_back(std::move(message));
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::optional<net::CNDKMessage> TestClient::receive(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (queue_.empty()) {
        const bool open = pump(std::min(kSliceMs, msLeft(deadline)));
        if (!queue_.empty()) {
            break;
        }
        if (!open || Clock::now() >= deadline) {
            return std::nullopt;
        }
    }
    net::CNDKMessage message = std::move(queue_.front());
    queue_.pop_front();
    return message;
}

std::optional<std::vector<net::CNDKMessage>>
TestClient::receiveUntil(const std::function<bool(const net::CNDKMessage&)>& pred, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t checked = 0;
    for (;;) {
        for (; checked < queue_.size(); ++checked) {
            if (pred(queue_[checked])) {
                std::vector<net::CNDKMessage> received;
                received.reserve(checked + 1);
                for (std::size_t i = 0; i <= checked; ++i) {
                    received.push_back(std::move(queue_.front()));
                    queue_.pop_front();
                }
                return received;
            }
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        if (!pump(std::min(kSliceMs, msLeft(deadline))) && checked == queue_.size()) {
            return std::nullopt;
        }
    }
}

std::vector<net::CNDKMessage> TestClient::drain(int quietMs) {
    auto quietUntil = Clock::now() + std::chrono::milliseconds(quietMs);
    std::size_t seen = queue_.size();
    do {
        const bool open = pump(std::min(kSliceMs, msLeft(quietUntil)));
        if (queue_.size() != seen) {
            seen = queue_.size();
            quietUntil = Clock::now() + std::chrono::milliseconds(quietMs);
        }
        if (!open) {
            break;
        }
    } while (Clock::now() < quietUntil);
    std::vector<net::CNDKMessage> all(std::make_move_iterator(queue_.begin()),
                                      std::make_move_iterator(queue_.end()));
    queue_.clear();
    return all;
}

bool TestClient::waitForClose(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!peerClosed_) {
        if (fd_ < 0) {
            return false;
        }
        (void)pump(std::min(kSliceMs, msLeft(deadline)));
        if (!peerClosed_ && Clock::now() >= deadline) {
            return false;
        }
    }
    return true;
}

void TestClient::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    peerClosed_ = false;
    input_.clear();
    queue_.clear();
}

bool TestClient::isConnected() const {
    return fd_ >= 0 && !peerClosed_;
}

void TestClient::setAutoAnswerPings(bool on) {
    autoAnswerPings_ = on;
}

net::CNDKMessage makeCommand(std::string_view command, std::optional<std::string_view> argument) {
    net::CNDKMessage message(2);
    message.putText(0, command);
    if (argument) {
        message.putText(1, *argument);
    }
    return message;
}

std::string textAt(const net::CNDKMessage& message, int index) {
    std::string text;
    message.readValue(index, text);
    return text;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        processQtEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void pumpEvents(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    do {
        processQtEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (Clock::now() < deadline);
}

} // namespace tembrel::test

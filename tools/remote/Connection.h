// The client's end of one TCP connection to the server: connects with a
// timeout, sends and receives whole messages through the byte-buffer codec,
// answers pings and turns the server's stop and drop notices into failures.
// Plain blocking POSIX calls bounded by poll(), no event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Failure.h"
#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"

namespace tembrel::remote::client {

// Owns one file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool valid() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset() noexcept;

private:
    int fd_ = -1;
};

class Connection {
public:
    enum class Wait { Message, Idle, Failed };

    explicit Connection(std::chrono::milliseconds timeout) noexcept : timeout_(timeout) {}

    // Resolves `host` and connects to the first address that answers.
    [[nodiscard]] bool open(const std::string& host, int port);
    [[nodiscard]] bool isOpen() const noexcept { return socket_.valid(); }

    [[nodiscard]] bool send(const net::CNDKMessage& message);
    // Waits up to the timeout for the next message that is not a ping; a
    // timeout is a failure.
    [[nodiscard]] bool receive(net::CNDKMessage& out);
    // Waits up to `wait` for the next message that is not a ping. Idle: none
    // came in time, or a signal interrupted the wait.
    [[nodiscard]] Wait poll(net::CNDKMessage& out, std::chrono::milliseconds wait);
    // Announces the departure (-4) and waits briefly for the server to close.
    void leave() noexcept;

    [[nodiscard]] const Failure& failure() const noexcept { return failure_; }
    [[nodiscard]] std::chrono::milliseconds timeout() const noexcept { return timeout_; }

private:
    using Clock = std::chrono::steady_clock;

    [[nodiscard]] bool fail(std::string message);
    [[nodiscard]] bool connectTo(const void* address, unsigned length, std::string& error);
    // Decodes one buffered message into `out`; false when more bytes are
    // needed (or the bytes are malformed, which sets the failure).
    [[nodiscard]] bool takeBuffered(net::CNDKMessage& out);
    // Reads what has arrived, waiting until `deadline`. Idle on timeout.
    [[nodiscard]] Wait fill(Clock::time_point deadline);
    // Handles the layer's control messages; true when `message` is for the caller.
    [[nodiscard]] bool handleControl(const net::CNDKMessage& message);
    [[nodiscard]] Wait next(net::CNDKMessage& out, Clock::time_point deadline);

    std::chrono::milliseconds timeout_;
    std::string peer_; // "host:port", for messages
    UniqueFd socket_;
    net::CNDKArchive codec_;
    std::vector<std::uint8_t> inbox_;
    std::size_t inboxStart_ = 0;
    bool receivedAny_ = false;
    Failure failure_;
};

} // namespace tembrel::remote::client

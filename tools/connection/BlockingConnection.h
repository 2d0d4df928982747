// One client connection to a Tembrel server, in plain blocking style: it
// connects with a time limit, sends and receives whole messages through the
// codec, and bounds every wait with poll(). The command-line remote, the tests
// and the benchmarks all talk to servers through it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "connection/Failure.h"
#include "connection/ReceiveBuffer.h"
#include "connection/UniqueFd.h"
#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"

namespace tembrel::client {

// What a connection does with the messaging layer's own messages.
struct ControlPolicy {
    // Answers the server's pings at once instead of handing them on.
    bool answerPings = true;
    // The stop (-1) and drop (-5) notices end the connection with a failure
    // instead of being handed on.
    bool noticesEnd = true;
};

class BlockingConnection {
public:
    enum class Wait { Message, Idle, Failed };

    explicit BlockingConnection(std::chrono::milliseconds timeout,
                                ControlPolicy policy = {}) noexcept
        : timeout_(timeout), policy_(policy) {}

    // Runs `hook` at least every `slice` while the connection waits on its
    // socket, so that a caller's event loop (and a server in the same
    // process) keeps running.
    void setWaitHook(std::function<void()> hook, std::chrono::milliseconds slice);
    void setAnswerPings(bool on) noexcept { policy_.answerPings = on; }

    // Resolves `host` and connects to the first address that answers within
    // the timeout (or `limit`).
    [[nodiscard]] bool open(const std::string& host, int port);
    [[nodiscard]] bool open(const std::string& host, int port, std::chrono::milliseconds limit);
    [[nodiscard]] bool isOpen() const noexcept { return socket_.valid(); }
    // True once the server closed the connection or it failed; false again
    // after close() or the next open().
    [[nodiscard]] bool ended() const noexcept { return ended_; }
    // True when the connection ended because the server sent bytes that do
    // not form a message.
    [[nodiscard]] bool receivedMalformed() const noexcept { return malformed_; }
    // Closes at once, forgetting what was read but not taken.
    void close() noexcept;
    // The socket, for waiting on several connections at once (-1 when closed).
    [[nodiscard]] int fd() const noexcept { return socket_.get(); }

    [[nodiscard]] bool send(const net::CNDKMessage& message);
    [[nodiscard]] bool sendRaw(std::span<const std::uint8_t> bytes);

    // Waits up to the timeout for the next message; a timeout is a failure.
    [[nodiscard]] bool receive(net::CNDKMessage& out);
    // Waits up to `wait` for the next message. Idle: none came in time, or a
    // signal interrupted the wait.
    [[nodiscard]] Wait poll(net::CNDKMessage& out, std::chrono::milliseconds wait);
    // Reads what has arrived, waiting up to `wait` for the first bytes,
    // without decoding it. Message: bytes came; Failed: the connection ended.
    [[nodiscard]] Wait readAvailable(std::chrono::milliseconds wait);
    // The next complete message among the bytes already read.
    [[nodiscard]] bool takeBuffered(net::CNDKMessage& out);

    // Announces the departure (-4) and waits briefly for the server to close.
    void leave() noexcept;

    [[nodiscard]] const Failure& failure() const noexcept { return failure_; }
    [[nodiscard]] std::chrono::milliseconds timeout() const noexcept { return timeout_; }

private:
    using Clock = std::chrono::steady_clock;
    enum class Ready { Yes, TimedOut, Interrupted };

    [[nodiscard]] bool fail(std::string message);
    [[nodiscard]] bool connectTo(const void* address, unsigned length,
                                 std::chrono::milliseconds limit, std::string& error);
    void adopt(UniqueFd socket) noexcept;
    [[nodiscard]] Ready waitReady(int fd, short events, Clock::time_point deadline);
    // Reads until the socket has nothing more right now. Idle: nothing at all.
    [[nodiscard]] Wait fill(Clock::time_point deadline);
    [[nodiscard]] Wait noteEnd(long result, int error);
    // Handles the layer's own messages; true when `message` is for the caller.
    [[nodiscard]] bool handleControl(const net::CNDKMessage& message);
    [[nodiscard]] Wait next(net::CNDKMessage& out, Clock::time_point deadline);

    std::chrono::milliseconds timeout_;
    ControlPolicy policy_;
    std::function<void()> waitHook_;
    std::chrono::milliseconds waitSlice_{0};
    std::string peer_; // "host:port", for messages
    UniqueFd socket_;
    net::CNDKArchive codec_;
    net::CNDKArchive::Progress progress_;
    ReceiveBuffer inbox_;
    std::vector<std::uint8_t> outbox_;
    bool receivedAny_ = false;
    bool ended_ = false;
    bool malformed_ = false;
    Failure failure_;
};

} // namespace tembrel::client

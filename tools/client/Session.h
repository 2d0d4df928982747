// A joined client session: connects, announces the user name, collects the
// join replies (playlist, artists, switches, status, totals), exchanges
// commands with the server and leaves.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "PlayerStatus.h"
#include "connection/BlockingConnection.h"
#include "protocol/Replies.h"

namespace tembrel::client {

struct PlaylistEntry {
    std::string artist, title, length;
};

// What the join replies told about the server.
struct JoinInfo {
    std::vector<PlaylistEntry> playlist;
    std::vector<std::string> artists;
    int artistTotal = 0, albumTotal = 0, trackTotal = 0;
};

class Session {
public:
    explicit Session(std::chrono::milliseconds timeout) noexcept : connection_(timeout) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects and joins as `name`; returns once every join reply is in.
    [[nodiscard]] bool open(const std::string& host, int port, const std::string& name);

    // Sends `message`, then collects every message that arrives until the
    // server has handled it completely (replies and status broadcast).
    [[nodiscard]] bool exchange(const net::CNDKMessage& message,
                                std::vector<net::CNDKMessage>* replies = nullptr);
    // Sends several messages and collects everything they caused.
    [[nodiscard]] bool exchange(const std::vector<net::CNDKMessage>& messages,
                                std::vector<net::CNDKMessage>* replies = nullptr);
    [[nodiscard]] bool send(const net::CNDKMessage& message);
    // Waits for the next `reply`; other messages only update the status.
    [[nodiscard]] bool awaitReply(protocol::Reply reply, net::CNDKMessage& out);
    // Waits for the next `reply` or `refusal`, whichever comes first.
    [[nodiscard]] bool awaitReply(protocol::Reply reply, protocol::Reply refusal,
                                  net::CNDKMessage& out);
    // Waits up to `wait` for any message (for live views).
    [[nodiscard]] BlockingConnection::Wait poll(net::CNDKMessage& out,
                                                std::chrono::milliseconds wait);

    void leave() noexcept;

    [[nodiscard]] const JoinInfo& joinInfo() const noexcept { return join_; }
    [[nodiscard]] const StatusTracker& tracker() const noexcept { return tracker_; }
    [[nodiscard]] const PlayerStatus& status() const noexcept { return tracker_.status(); }
    [[nodiscard]] const Failure& failure() const noexcept { return connection_.failure(); }

private:
    // Sends the echo request that marks the end of what we sent, and reads up
    // to its return. The server handles a connection's messages in order, so
    // everything our earlier messages caused has arrived by then.
    [[nodiscard]] bool barrier(std::vector<net::CNDKMessage>* replies);
    void absorbJoinReply(const net::CNDKMessage& message);

    BlockingConnection connection_;
    StatusTracker tracker_;
    JoinInfo join_;
    unsigned barrierCount_ = 0;
    bool joining_ = false;
};

} // namespace tembrel::client

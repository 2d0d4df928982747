#pragma once

// The tests' loopback client: the shared blocking client connection, with
// the Qt event loop of the test process kept running while it waits, so it
// works against a host in the same process as well as against a separate
// server process. Everything the server sends is handed on, the messaging
// layer's own messages included.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QtGlobal>

#include "connection/BlockingConnection.h"
#include "net/CNDKMessage.h"

namespace tembrel::test {

class TestClient {
public:
    TestClient();
    ~TestClient();

    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Connects to 127.0.0.1:port. False on failure or timeout.
    bool connectTo(quint16 port, int timeoutMs = 3000);
    bool send(const net::CNDKMessage& m);
    bool sendRaw(std::span<const std::uint8_t> bytes);

    // The next message in arrival order; nullopt on timeout or when the
    // connection ended first.
    std::optional<net::CNDKMessage> receive(int timeoutMs = 3000);
    // Receives until pred(message) is true; returns every message received on
    // the way, the matching one last; nullopt on timeout (the messages read
    // stay queued for receive()).
    std::optional<std::vector<net::CNDKMessage>>
    receiveUntil(const std::function<bool(const net::CNDKMessage&)>& pred, int timeoutMs = 3000);
    // Everything that arrives until nothing has come for quietMs.
    std::vector<net::CNDKMessage> drain(int quietMs = 100);
    // True once the server has closed the connection (messages that arrived
    // before the close stay queued for receive()).
    bool waitForClose(int timeoutMs = 3000);

    void close();
    [[nodiscard]] bool isConnected() const;
    // When on, ping messages (-3) are answered at once and not queued.
    void setAutoAnswerPings(bool on);

private:
    // The next message within `timeoutMs`, from the held ones first.
    std::optional<net::CNDKMessage> next(int timeoutMs);
    // A connection that ended on bytes that form no message fails the test.
    void reportMalformed();

    client::BlockingConnection connection_;
    // Messages receiveUntil() read without a match, kept for receive().
    std::deque<net::CNDKMessage> held_;
    bool malformedReported_ = false;
};

// A command message as clients send it: id 2, value 0 the command, value 1
// the argument when given.
net::CNDKMessage makeCommand(std::string_view command,
                             std::optional<std::string_view> argument = {});
// The text at `index` ("" when absent or not text).
std::string textAt(const net::CNDKMessage& message, int index);
// Runs the Qt event loop (when there is one) until pred() is true; false on
// timeout.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 3000);
// Lets the Qt event loop run for about `ms` milliseconds.
void pumpEvents(int ms);

} // namespace tembrel::test

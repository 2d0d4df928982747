// A WebSocket user of the web remote for the end-to-end tests: speaks the
// JSON form of messages over a real QWebSocket on loopback, keeping the test
// process's event loop running while it waits.
#pragma once

#include <QWebSocket>

#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "net/CNDKMessage.h"

namespace tembrel::test {

class WebClient {
public:
    // Origin sent with the upgrade: the page's own for `port` unless given.
    explicit WebClient(int port, std::optional<QString> origin = std::nullopt);

    // Opens ws://127.0.0.1:port/ws; false when no connection was made in time.
    bool open(int timeoutMs = 5000);
    void send(const net::CNDKMessage& message);
    void sendText(const QString& text);
    // Joins with `name` and waits for the join's last reply ("^TotalTracks").
    bool join(const std::string& name);

    // Receives until `pred` holds for a message (which is returned); nothing
    // on timeout or when the connection closed first.
    std::optional<net::CNDKMessage>
    receiveUntil(const std::function<bool(const net::CNDKMessage&)>& pred, int timeoutMs = 5000);
    // True once the server has closed the connection.
    bool waitForClose(int timeoutMs = 5000);
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] int closeCode() const { return socket_.closeCode(); }
    // A frame that was not a message of the JSON form (a server fault).
    [[nodiscard]] bool receivedMalformed() const noexcept { return malformed_; }

private:
    QWebSocket socket_;
    int port_;
    std::deque<net::CNDKMessage> queue_;
    bool malformed_ = false;
    bool closed_ = false;
};

// A message whose value 0 is the text `name` (a reply or join/leave name).
[[nodiscard]] bool named(const net::CNDKMessage& message, std::string_view name);

} // namespace tembrel::test

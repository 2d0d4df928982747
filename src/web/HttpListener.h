// The web port's listening socket. It bounds what HTTP clients can hold: at
// most kMaxConnections open connections (further ones are closed at once, so
// the process never runs out of file descriptors for its TCP users), and a
// connection that has not become a WebSocket is closed after kIdleTimeout
// without a request. A peer the allow-list refuses is closed before anything
// is read from it or sent to it.
#pragma once

#include <QHostAddress>
#include <QTcpServer>

#include <chrono>
#include <functional>
#include <utility>

class QTcpSocket;

namespace tembrel::web {

class HttpListener final : public QTcpServer {
public:
    static constexpr int kMaxConnections = 256;
    static constexpr std::chrono::milliseconds kIdleTimeout{60'000};

    // Whether a peer at this address may be served.
    using PeerCheck = std::function<bool(const QHostAddress&)>;

    // An empty `allows` lets every peer in.
    HttpListener(QObject* parent, PeerCheck allows)
        : QTcpServer(parent), allows_(std::move(allows)) {}

    // From now on `socket` is a WebSocket user's: idle time no longer ends it.
    static void markUpgraded(QTcpSocket& socket);

    [[nodiscard]] int openConnections() const noexcept { return open_; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    PeerCheck allows_;
    int open_ = 0;
};

} // namespace tembrel::web

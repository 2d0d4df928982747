// The HTTP side of the web remote on one port: the page's compiled-in files,
// the protocol table and the WebSocket path /ws, whose upgrades are checked
// (same origin, server running) before Qt hands them to its WebSocket server.
#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponder>

#include <QHostAddress>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "web/PageFiles.h"

class QWebSocket;

namespace tembrel::web {

class WebFront final : public QAbstractHttpServer {
public:
    // The WebSocket path of the page.
    static constexpr std::string_view kWebSocketPath = "/ws";

    struct Handlers {
        // Whether a peer at this address may be served at all; one that may
        // not is closed before its request is read (page and WebSocket
        // alike). Empty: everyone may.
        std::function<bool(const QHostAddress&)> allowsPeer;
        // Whether WebSocket users are welcome now (the server is running).
        std::function<bool()> accepting;
        // Each upgraded WebSocket, to be admitted as a user.
        std::function<void(std::unique_ptr<QWebSocket>)> admit;
    };

    WebFront(PageFiles files, Handlers handlers);
    ~WebFront() override;

    // Listens on each of `addresses` (none: every local address, IPv4 and
    // IPv6); port 0 picks a free port, which every address then shares.
    // False, listening nowhere, when one cannot be bound.
    [[nodiscard]] bool listen(int port, const std::vector<QHostAddress>& addresses);
    // The bound port, or -1 when not listening.
    [[nodiscard]] int port() const noexcept { return port_; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    using Status = QHttpServerResponder::StatusCode;

    // Why a WebSocket upgrade is refused; nothing when it may go ahead.
    [[nodiscard]] std::optional<Status> upgradeRefusal(const QHttpServerRequest& request) const;
    void serveFile(const QHttpServerRequest& request, QTcpSocket* socket);
    void admitPending();

    PageFiles files_;
    Handlers handlers_;
    int port_ = -1;
};

} // namespace tembrel::web

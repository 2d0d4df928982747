// Accepting HTTP connections within bounds.
#include "web/HttpListener.h"

#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace tembrel::web {

namespace {

constexpr const char* kUpgradedProperty = "tembrelUpgraded";

} // namespace

void HttpListener::markUpgraded(QTcpSocket& socket) {
    socket.setProperty(kUpgradedProperty, true);
}

void HttpListener::incomingConnection(qintptr descriptor) {
    if (open_ >= kMaxConnections) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(static_cast<int>(descriptor));
        return;
    }
    if (allows_ && !allows_(socket->peerAddress())) {
        socket->abort();
        delete socket;
        return;
    }
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] { --open_; });
    // Restarted by every arrival; a WebSocket user may stay quiet for hours.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(kIdleTimeout);
    connect(idle, &QTimer::timeout, socket, [socket] {
        if (!socket->property(kUpgradedProperty).toBool()) {
            socket->abort();
        }
    });
    connect(socket, &QTcpSocket::readyRead, idle, qOverload<>(&QTimer::start));
    idle->start();
    addPendingConnection(socket);
}

} // namespace tembrel::web

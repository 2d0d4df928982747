// A web user's WebSocket as a user transport: frames in, JSON decoded into
// messages; encoded messages out as text frames; backlog from the socket.
#include "web/WebSocketTransport.h"

#include <QTimer>
#include <QWebSocket>

#include <algorithm>

#include "net/MessageBatch.h"
#include "web/JsonCodec.h"
#include "web/JsonEncoding.h"

namespace tembrel::web {

WebSocketTransport::WebSocketTransport(std::unique_ptr<QWebSocket> socket, QObject& owner,
                                       const net::CNDKArchive::Limits& limits)
    : limits_(limits) {
    socket->setParent(&owner);
    socket_ = socket.release();
    const auto frameLimit = static_cast<quint64>(maxFrameBytes(limits));
    socket_->setMaxAllowedIncomingFrameSize(frameLimit);
    socket_->setMaxAllowedIncomingMessageSize(frameLimit);
    QObject::connect(socket_.data(), &QWebSocket::textMessageReceived, &context_,
                     [this](const QString& text) {
                         onFrame({text, false});
                     });
    QObject::connect(socket_.data(), &QWebSocket::binaryMessageReceived, &context_,
                     [this](const QByteArray&) {
                         onFrame({{}, true});
                     });
    QObject::connect(socket_.data(), &QWebSocket::disconnected, &context_,
                     [this] { onDisconnected(); });
}

WebSocketTransport::~WebSocketTransport() {
    QWebSocket* socket = socket_.data();
    if (socket == nullptr) {
        return;
    }
    if (!closed_) {
        socket->abort();
    }
    // A graceful close still delivers what was queued and then the closing
    // handshake; the socket goes when that is over, or after the grace time.
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QObject::connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kCloseGrace, socket, &QObject::deleteLater);
}

std::size_t WebSocketTransport::maxFrameBytes(const net::CNDKArchive::Limits& limits) noexcept {
    return limits.maxMessageBytes / 2 * 3;
}

void WebSocketTransport::start(Events& events) {
    events_ = &events;
    if (!frames_.empty() || inputState_ != InputState::Open) {
        reportPendingLater();
    }
}

void WebSocketTransport::reportPendingLater() {
    QMetaObject::invokeMethod(
        &context_,
        [this] {
            if (events_ == nullptr || closed_) {
                return;
            }
            if (!frames_.empty()) {
                events_->inputArrived(*this);
            } else if (inputState_ == InputState::Ended) {
                events_->connectionLost(*this);
            }
        },
        Qt::QueuedConnection);
}

void WebSocketTransport::onFrame(Frame frame) {
    if (closed_ || inputState_ == InputState::Failed) {
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(frame.text.size()) * sizeof(QChar);
    if (unreadBytes_ + bytes > kMaxUnreadBytes) {
        inputState_ = InputState::Failed;
        frames_.clear();
        unreadBytes_ = 0;
        if (events_ != nullptr) {
            events_->inputFailed(*this);
        }
        return;
    }
    unreadBytes_ += bytes;
    frames_.push_back(std::move(frame));
    if (events_ != nullptr) {
        events_->inputArrived(*this);
    }
}

void WebSocketTransport::onDisconnected() {
    if (closed_ || inputState_ != InputState::Open) {
        return;
    }
    inputState_ = InputState::Ended;
    if (events_ != nullptr) {
        events_->connectionLost(*this);
    }
}

bool WebSocketTransport::takeInput() {
    while (!frames_.empty()) {
        Frame frame = std::move(frames_.front());
        frames_.pop_front();
        unreadBytes_ -=
            std::min(unreadBytes_, static_cast<std::size_t>(frame.text.size()) * sizeof(QChar));
        if (frame.binary) {
            inputState_ = InputState::Failed;
            return false;
        }
        const QByteArray utf8 = frame.text.toUtf8();
        Decoded& decoded = decoded_.emplace_back();
        decoded.frameBytes = static_cast<std::size_t>(utf8.size());
        if (!decodeJson({utf8.constData(), decoded.frameBytes}, limits_, decoded.message)) {
            inputState_ = InputState::Failed;
            return false;
        }
    }
    return true;
}

bool WebSocketTransport::takeMessages(net::MessageBatch& batch) {
    if (decoded_.empty()) {
        return false;
    }
    while (!decoded_.empty() && batch.wireBytes() < net::kMessageGroupBytes) {
        Decoded& next = decoded_.front();
        batch.slot() = std::move(next.message);
        batch.commit(next.frameBytes);
        decoded_.pop_front();
    }
    return true;
}

const net::MessageEncoding& WebSocketTransport::encoding() const noexcept {
    return jsonEncoding();
}

bool WebSocketTransport::isConnected() const {
    return !closed_ && socket_ != nullptr && socket_->state() == QAbstractSocket::ConnectedState;
}

QHostAddress WebSocketTransport::peerAddress() const {
    return socket_ != nullptr ? socket_->peerAddress() : QHostAddress();
}

std::size_t WebSocketTransport::backlog() const {
    return socket_ != nullptr ? static_cast<std::size_t>(socket_->bytesToWrite()) : 0;
}

void WebSocketTransport::queue(std::span<const std::uint8_t> encodedMessage) {
    if (socket_ == nullptr) {
        return;
    }
    // The frame goes into the socket's own buffer; the system gets it at
    // flush() or when the event loop next serves the socket.
    socket_->sendTextMessage(QString::fromUtf8(reinterpret_cast<const char*>(encodedMessage.data()),
                                               static_cast<qsizetype>(encodedMessage.size())));
    hasQueued_ = true;
}

bool WebSocketTransport::flush() {
    hasQueued_ = false;
    return socket_ != nullptr && socket_->flush();
}

void WebSocketTransport::close(CloseMode mode) {
    if (closed_ || socket_ == nullptr) {
        closed_ = true;
        return;
    }
    closed_ = true;
    QObject::disconnect(socket_.data(), nullptr, &context_, nullptr);
    if (events_ == nullptr) {
        // Refused at admission: the browser learns why from the close code.
        // Admission happens inside Qt's handshake handling, which has one
        // more handshake call for this socket queued; closing only after it
        // has run spares it reading a closed socket.
        QMetaObject::invokeMethod(
            socket_.data(),
            [socket = socket_.data()] {
                socket->close(static_cast<QWebSocketProtocol::CloseCode>(kRefusedCloseCode),
                              QStringLiteral("The jukebox is full"));
            },
            Qt::QueuedConnection);
    } else if (mode == CloseMode::Graceful) {
        socket_->close(QWebSocketProtocol::CloseCodeNormal);
    } else {
        socket_->abort();
    }
}

} // namespace tembrel::web

// One web user's connection: a WebSocket carrying one JSON message per text
// frame, behind the host's user transport interface, so a web user is a user
// like any other (ids, the user limit, broadcasts, backlog limit, drops).
#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <memory>

#include "net/CNDKArchive.h"
#include "net/UserTransport.h"

class QWebSocket;

namespace tembrel::web {

class WebSocketTransport final : public net::UserTransport {
public:
    // The WebSocket close code sent to a connection the host refuses (the
    // user limit is reached): the registered "try again later" (1013) moved
    // to the range for applications, since Qt's WebSocket endpoints take
    // 1013 for a protocol error.
    static constexpr int kRefusedCloseCode = 4013;
    // A socket closed gracefully is kept this long at most for the closing
    // handshake, then released.
    static constexpr std::chrono::milliseconds kCloseGrace{5000};

    // Takes over an upgraded WebSocket, which `owner` keeps as Qt parent so
    // that no socket outlives the web front, also one still closing.
    // `limits` bound each message as they bound a TCP user's; the frame
    // limit is set from them.
    WebSocketTransport(std::unique_ptr<QWebSocket> socket, QObject& owner,
                       const net::CNDKArchive::Limits& limits);
    ~WebSocketTransport() override;

    // Largest text frame accepted for `limits`: a message of the largest size
    // with its bytes in base64.
    [[nodiscard]] static std::size_t maxFrameBytes(const net::CNDKArchive::Limits& limits) noexcept;

    void start(Events& events) override;
    [[nodiscard]] bool takeInput() override;
    [[nodiscard]] bool takeMessages(net::MessageBatch& batch) override;
    [[nodiscard]] bool hasUnreadInput() const override { return !frames_.empty(); }
    [[nodiscard]] InputState inputState() const noexcept override { return inputState_; }

    [[nodiscard]] const net::MessageEncoding& encoding() const noexcept override;
    [[nodiscard]] bool isConnected() const override;
    [[nodiscard]] QHostAddress peerAddress() const override;
    [[nodiscard]] std::size_t backlog() const override;
    void queue(std::span<const std::uint8_t> encodedMessage) override;
    [[nodiscard]] bool hasQueued() const noexcept override { return hasQueued_; }
    bool flush() override;
    void close(CloseMode mode) override;

private:
    // A received frame; a binary frame is kept only to fail the input.
    struct Frame {
        QString text;
        bool binary = false;
    };
    struct Decoded {
        net::CNDKMessage message;
        std::size_t frameBytes = 0;
    };

    void onFrame(Frame frame);
    void onDisconnected();
    // Tells the host later (from the event loop) what happened before start().
    void reportPendingLater();

    // Null once the owner has deleted the socket.
    QPointer<QWebSocket> socket_;
    // Receives the socket's signals and queued calls: they end with the
    // transport.
    QObject context_;
    net::CNDKArchive::Limits limits_;
    Events* events_ = nullptr;
    // Frames not taken yet, and their size. While the host does not take
    // them (the user's earlier command waits for a file, or its answers pile
    // up), a user that goes on sending is cut off at a bound.
    static constexpr std::size_t kMaxUnreadBytes = std::size_t{16} << 20;
    std::deque<Frame> frames_;
    std::size_t unreadBytes_ = 0;
    std::deque<Decoded> decoded_;
    InputState inputState_ = InputState::Open;
    bool hasQueued_ = false;
    bool closed_ = false;
};

} // namespace tembrel::web

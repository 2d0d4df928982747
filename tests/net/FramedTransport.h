#pragma once

// A message-oriented user transport for tests, admitted through
// CNDKHost::admitUser(): each message travels as one frame (4-byte
// little-endian length, then the payload) on a TCP connection, and the
// payload is the wire format with every byte inverted, an encoding of its own
// that a TCP user could not read. FramedPeer is the other end.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <QTcpSocket>

#include "net/CNDKArchive.h"
#include "net/DeleteLater.h"
#include "net/UserTransport.h"

namespace tembrel::test {

// Counts its calls, so a test can see a broadcast encoded once.
class InvertedEncoding final : public net::MessageEncoding {
public:
    void encode(const net::CNDKMessage& message, std::vector<std::uint8_t>& out) const override;
    mutable int calls = 0;
};

[[nodiscard]] InvertedEncoding& invertedEncoding();

// Appends one frame holding `payload` to `out`.
void appendFrame(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out);

class FramedTransport final : public net::UserTransport {
public:
    // Takes over `socket`, an accepted connection whose Qt parent outlives
    // the transport (the socket is deleted once the event that closed it is
    // over, or at the latest with its parent).
    explicit FramedTransport(QTcpSocket* socket) : socket_(socket) {}
    ~FramedTransport() override;

    void start(Events& events) override;
    [[nodiscard]] bool takeInput() override;
    [[nodiscard]] bool takeMessages(net::MessageBatch& batch) override;
    [[nodiscard]] bool hasUnreadInput() const override { return socket_->bytesAvailable() > 0; }
    [[nodiscard]] InputState inputState() const noexcept override {
        return lost_ ? InputState::Ended : InputState::Open;
    }

    [[nodiscard]] const net::MessageEncoding& encoding() const noexcept override {
        return invertedEncoding();
    }
    [[nodiscard]] bool isConnected() const override {
        return socket_->state() == QAbstractSocket::ConnectedState;
    }
    [[nodiscard]] std::size_t backlog() const override {
        return queued_.size() + static_cast<std::size_t>(socket_->bytesToWrite());
    }
    void queue(std::span<const std::uint8_t> encodedMessage) override {
        appendFrame(encodedMessage, queued_);
    }
    [[nodiscard]] bool hasQueued() const noexcept override { return !queued_.empty(); }
    bool flush() override;
    void close(CloseMode mode) override;

private:
    std::unique_ptr<QTcpSocket, net::DeleteLater> socket_;
    QObject context_;
    std::vector<std::uint8_t> input_;
    std::vector<net::CNDKMessage> decoded_;
    std::vector<std::uint8_t> queued_;
    bool lost_ = false;
};

// The client end: sends and receives frames on a plain socket, running the
// event loop while it waits.
class FramedPeer {
public:
    bool connectTo(quint16 port);
    bool send(const net::CNDKMessage& message);
    bool sendFrame(std::span<const std::uint8_t> payload);
    // The next message; nullopt on timeout or when the connection ended.
    std::optional<net::CNDKMessage> receive(int timeoutMs = 3000);
    bool waitForClose(int timeoutMs = 3000);

private:
    QTcpSocket socket_;
    std::vector<std::uint8_t> input_;
};

} // namespace tembrel::test

#pragma once

// A user on a TCP connection: the Qt socket, the bytes received but not yet
// decoded (checked first, then built in groups), the limit on how long a
// message may stay half-sent, and the bytes queued for sending until the end
// of the event (so everything produced for a user during one event leaves in
// one socket write).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QObject>
#include <QTimer>

#include "net/CNDKArchive.h"
#include "net/DeleteLater.h"
#include "net/UserTransport.h"

class QTcpSocket;

namespace tembrel::net {

class TcpTransport final : public UserTransport {
public:
    // Takes over `tcp`, whose Qt parent is `context` (an object that lives at
    // least as long as the host). `codec` decodes with the host's limits and
    // must outlive the transport; a message must arrive whole within
    // `partialTimeout` from its first byte.
    TcpTransport(QTcpSocket* tcp, QObject& context, const CNDKArchive& codec,
                 std::chrono::milliseconds partialTimeout);
    ~TcpTransport() override;

    void start(Events& events) override;
    [[nodiscard]] bool takeInput() override;
    [[nodiscard]] bool takeMessages(MessageBatch& batch) override;
    [[nodiscard]] bool hasUnreadInput() const override;
    [[nodiscard]] InputState inputState() const noexcept override;

    [[nodiscard]] const MessageEncoding& encoding() const noexcept override;
    [[nodiscard]] bool isConnected() const override;
    [[nodiscard]] std::size_t backlog() const override;
    void queue(std::span<const std::uint8_t> encodedMessage) override;
    void queueTaking(std::vector<std::uint8_t>& encodedMessage) override;
    [[nodiscard]] bool hasQueued() const noexcept override { return !output_.empty(); }
    bool flush() override;
    void close(CloseMode mode) override;
    [[nodiscard]] QHostAddress peerAddress() const override;

private:
    void readAvailable();
    // Checks every complete message of the input buffer without building
    // any; false when the bytes do not form an acceptable message.
    [[nodiscard]] bool checkInput();
    [[nodiscard]] bool hasPartialMessage() const noexcept { return checkedEnd_ < input_.size(); }
    // Starts, restarts or stops the half-sent-message clock after a check.
    void updatePartialTimer();
    void onPartialTimeout();
    void onLost();

    std::unique_ptr<QTcpSocket, DeleteLater> tcp_;
    QObject& context_;
    const CNDKArchive& codec_;
    std::chrono::milliseconds partialTimeout_;
    Events* events_ = nullptr;
    std::vector<std::uint8_t> input_;
    std::size_t inputStart_ = 0; // start of the bytes not yet handed on
    std::size_t checkedEnd_ = 0; // end of the complete messages checked so far
    CNDKArchive::Progress progress_;
    bool madeProgress_ = false;   // the last check completed a message
    bool lost_ = false;           // the connection ended or failed
    bool partialExpired_ = false; // an unfinished message ran out of time
    std::vector<std::uint8_t> output_;
    QTimer partialTimer_;
};

} // namespace tembrel::net

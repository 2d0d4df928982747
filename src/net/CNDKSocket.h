#pragma once

// One user's connection: the Qt socket, the bytes received but not yet
// decoded, and the bytes queued for sending until control returns to the
// event loop (so everything produced for a user during one event leaves in
// one socket write).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QObject>
#include <QTimer>

#include "net/CNDKArchive.h"
#include "net/MessageBatch.h"

class QTcpSocket;

namespace tembrel::net {

// Deletes a QObject once control is back in the event loop, so an object can
// be released from inside one of its own signal handlers.
struct DeleteLater {
    void operator()(QObject* object) const noexcept { object->deleteLater(); }
};

class CNDKSocket {
public:
    enum class CloseMode {
        Graceful, // queued bytes are still delivered, then the connection closes
        Discard,  // queued bytes are dropped and the connection is reset
    };

    // Takes over `tcp`, whose Qt parent is `context` (the host's object that
    // also receives the socket's signals).
    CNDKSocket(QTcpSocket* tcp, QObject& context);
    ~CNDKSocket();

    CNDKSocket(const CNDKSocket&) = delete;
    CNDKSocket& operator=(const CNDKSocket&) = delete;

    [[nodiscard]] QTcpSocket& tcp() noexcept { return *tcp_; }

    // Moves every byte the socket has received into the input buffer.
    void readAvailable();
    // Checks every complete message of the input buffer without building
    // any. False when the bytes do not form an acceptable message.
    [[nodiscard]] bool checkInput(const CNDKArchive& codec);
    // Builds the next checked messages into the empty `batch`, about
    // kMessageGroupBytes of them and at least one; false when none is left.
    [[nodiscard]] bool takeMessages(MessageBatch& batch);
    // True when received bytes of an incomplete message are waiting.
    [[nodiscard]] bool hasPartialMessage() const noexcept { return checkedEnd_ < input_.size(); }
    // True when the last checkInput() completed at least one message.
    [[nodiscard]] bool madeProgress() const noexcept { return madeProgress_; }

    [[nodiscard]] bool isConnected() const;
    // Bytes waiting to be sent: queued here and inside the Qt socket.
    [[nodiscard]] std::size_t backlog() const;
    // Where the bytes to send are appended; flush() hands them to the socket.
    [[nodiscard]] std::vector<std::uint8_t>& output() noexcept { return output_; }
    [[nodiscard]] bool hasOutput() const noexcept { return !output_.empty(); }
    // True when some of the bytes reached the system at once (rather than
    // waiting in Qt's buffer for the socket to take them).
    bool flush();
    // Ends the connection and detaches the Qt socket from the host.
    void close(CloseMode mode);

    [[nodiscard]] QTimer& partialTimer() noexcept { return partialTimer_; }

    // Receive bookkeeping of the host (see CNDKHost::Impl::receive).
    bool handingOn_ = false;      // a batch of this connection is being handed on
    bool readAgain_ = false;      // bytes arrived while it was
    bool lost_ = false;           // the connection ended or failed
    bool partialExpired_ = false; // an unfinished message ran out of time while handing on

private:
    std::unique_ptr<QTcpSocket, DeleteLater> tcp_;
    QObject& context_;
    std::vector<std::uint8_t> input_;
    std::size_t inputStart_ = 0; // start of the bytes not yet handed on
    std::size_t checkedEnd_ = 0; // end of the complete messages checked so far
    CNDKArchive::Progress progress_;
    bool madeProgress_ = false;
    std::vector<std::uint8_t> output_;
    QTimer partialTimer_;
};

} // namespace tembrel::net

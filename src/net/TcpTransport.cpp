// A user on a TCP connection: its buffers, the half-sent-message clock and
// the ways its Qt socket is closed.
#include "net/TcpTransport.h"

#include <chrono>

#include <QTcpSocket>

#include "net/DirectSend.h"

namespace tembrel::net {

namespace {

// A connection closed gracefully gets this long to deliver its queued bytes
// (a peer that has stopped reading would otherwise keep it open forever).
constexpr std::chrono::milliseconds kCloseGrace{5000};

// An emptied buffer keeps its storage up to this size; the storage of a rare
// large message is released instead of being held while the user stays.
constexpr std::size_t kRetainedBufferBytes = std::size_t{1} << 20;

void releaseIfLarge(std::vector<std::uint8_t>& buffer) {
    if (buffer.capacity() > kRetainedBufferBytes) {
        std::vector<std::uint8_t> fresh;
        fresh.reserve(kNdkArchiveBufferSize);
        buffer.swap(fresh);
    }
}

} // namespace

TcpTransport::TcpTransport(QTcpSocket* tcp, QObject& context, const CNDKArchive& codec,
                           std::chrono::milliseconds partialTimeout)
    : tcp_(tcp), context_(context), codec_(codec), partialTimeout_(partialTimeout) {
    partialTimer_.setSingleShot(true);
    // Most traffic is small messages; start with room for many of them.
    input_.reserve(kNdkArchiveBufferSize);
    output_.reserve(kNdkArchiveBufferSize);
}

TcpTransport::~TcpTransport() {
    if (tcp_) {
        QObject::disconnect(tcp_.get(), nullptr, &context_, nullptr);
        tcp_->abort();
    }
}

void TcpTransport::start(Events& events) {
    events_ = &events;
    QTcpSocket* tcp = tcp_.get();
    QObject::connect(tcp, &QIODevice::readyRead, &context_,
                     [this] { events_->inputArrived(*this); });
    QObject::connect(tcp, &QAbstractSocket::disconnected, &context_, [this] { onLost(); });
    QObject::connect(tcp, &QAbstractSocket::errorOccurred, &context_, [this] { onLost(); });
    QObject::connect(&partialTimer_, &QTimer::timeout, &context_, [this] { onPartialTimeout(); });
}

void TcpTransport::onLost() {
    lost_ = true;
    events_->connectionLost(*this);
}

void TcpTransport::onPartialTimeout() {
    partialExpired_ = true;
    events_->inputFailed(*this);
}

bool TcpTransport::takeInput() {
    readAvailable();
    // Every message that has arrived is checked before any is handed on, so
    // a malformed one among them hands on none.
    if (!checkInput()) {
        return false;
    }
    updatePartialTimer();
    return true;
}

void TcpTransport::updatePartialTimer() {
    // A message must arrive whole within the time limit from its start.
    if (!hasPartialMessage()) {
        partialTimer_.stop();
        partialExpired_ = false;
    } else if (madeProgress_) {
        partialTimer_.start(partialTimeout_);
        partialExpired_ = false;
    } else if (!partialTimer_.isActive() && !partialExpired_) {
        partialTimer_.start(partialTimeout_);
    }
}

bool TcpTransport::hasUnreadInput() const {
    return tcp_ && tcp_->bytesAvailable() > 0;
}

UserTransport::InputState TcpTransport::inputState() const noexcept {
    if (lost_) {
        return InputState::Ended;
    }
    return partialExpired_ ? InputState::Failed : InputState::Open;
}

const MessageEncoding& TcpTransport::encoding() const noexcept {
    return wireEncoding();
}

void TcpTransport::readAvailable() {
    const qint64 available = tcp_ ? tcp_->bytesAvailable() : 0;
    if (available <= 0) {
        return;
    }
    // Drop the handed-on bytes at the front once they are at least half the
    // buffer, so the buffer does not grow with the connection's lifetime.
    if (inputStart_ > 0 && inputStart_ >= input_.size() / 2) {
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(inputStart_));
        checkedEnd_ -= inputStart_;
        inputStart_ = 0;
    }
    const std::size_t old = input_.size();
    input_.resize(old + static_cast<std::size_t>(available));
    const qint64 got = tcp_->read(reinterpret_cast<char*>(input_.data() + old), available);
    input_.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
}

bool TcpTransport::checkInput() {
    madeProgress_ = false;
    while (checkedEnd_ < input_.size()) {
        const std::span<const std::uint8_t> rest = std::span(input_).subspan(checkedEnd_);
        std::size_t consumed = 0;
        switch (codec_.check(rest, consumed, progress_)) {
        case CNDKArchive::Result::Complete:
            checkedEnd_ += consumed;
            madeProgress_ = true;
            break;
        case CNDKArchive::Result::NeedMore:
            return true;
        case CNDKArchive::Result::Malformed:
            return false;
        }
    }
    return true;
}

bool TcpTransport::takeMessages(MessageBatch& batch) {
    while (inputStart_ < checkedEnd_ && batch.wireBytes() < kMessageGroupBytes) {
        // checkInput() found complete messages up to checkedEnd_.
        const std::size_t consumed = CNDKArchive::buildChecked(
            std::span(input_).subspan(inputStart_, checkedEnd_ - inputStart_), batch.slot());
        batch.commit(consumed);
        inputStart_ += consumed;
    }
    if (inputStart_ == input_.size()) {
        input_.clear();
        inputStart_ = 0;
        checkedEnd_ = 0;
        releaseIfLarge(input_);
    }
    return batch.size() > 0;
}

QHostAddress TcpTransport::peerAddress() const {
    return tcp_ ? tcp_->peerAddress() : QHostAddress();
}

bool TcpTransport::isConnected() const {
    return tcp_ && tcp_->state() == QAbstractSocket::ConnectedState;
}

void TcpTransport::queue(std::span<const std::uint8_t> encodedMessage) {
    // A large message gets room for the small ones that follow it in the
    // same event (a status push after a picture), so they do not copy it
    // into a buffer twice its size.
    constexpr std::size_t kRoomAfterLarge = CNDKArchive::kRoomAfterLargeMessage;
    const std::size_t needed = output_.size() + encodedMessage.size();
    if (needed > output_.capacity() && encodedMessage.size() > kRoomAfterLarge) {
        output_.reserve(needed + kRoomAfterLarge);
    }
    output_.insert(output_.end(), encodedMessage.begin(), encodedMessage.end());
}

void TcpTransport::queueTaking(std::vector<std::uint8_t>& encodedMessage) {
    if (output_.empty()) {
        output_.swap(encodedMessage);
        return;
    }
    queue(encodedMessage);
}

std::size_t TcpTransport::backlog() const {
    return output_.size() + static_cast<std::size_t>(tcp_ ? tcp_->bytesToWrite() : 0);
}

bool TcpTransport::flush() {
    if (output_.empty() || !isConnected()) {
        return false;
    }
    std::span<const std::uint8_t> rest(output_);
    if (tcp_->bytesToWrite() == 0) {
        // Straight to the system while the socket takes it, so that answers
        // are on their way before a close of the peer's sending direction is
        // read (Qt then closes the socket and drops its write buffer). What
        // the socket does not take now, and any error, is left to Qt.
        rest = rest.subspan(sendWithoutBlocking(tcp_->socketDescriptor(), rest));
    }
    const bool sent = rest.size() < output_.size();
    if (!rest.empty()) {
        (void)tcp_->write(reinterpret_cast<const char*>(rest.data()),
                          static_cast<qint64>(rest.size()));
    }
    output_.clear();
    releaseIfLarge(output_);
    return sent;
}

void TcpTransport::close(CloseMode mode) {
    partialTimer_.stop();
    if (!tcp_) {
        return;
    }
    QObject::disconnect(tcp_.get(), nullptr, &context_, nullptr);
    if (mode == CloseMode::Discard) {
        output_.clear();
        tcp_->abort();
        tcp_.reset();
        return;
    }
    (void)flush();
    // Hand the bytes to the system now (the host may be about to go away);
    // no signal of this socket reaches the host any more.
    (void)tcp_->flush();
    tcp_->disconnectFromHost();
    if (tcp_->state() == QAbstractSocket::UnconnectedState) {
        tcp_.reset();
        return;
    }
    // Still writing: the Qt socket finishes on its own and is deleted when it
    // has closed, or reset after the grace period. Its Qt parent, the host's
    // context object, deletes it at the latest with the host.
    QTcpSocket* closing = tcp_.release();
    QObject::connect(closing, &QAbstractSocket::disconnected, closing, &QObject::deleteLater);
    QTimer::singleShot(kCloseGrace, closing, [closing] {
        closing->abort();
        closing->deleteLater();
    });
}

} // namespace tembrel::net

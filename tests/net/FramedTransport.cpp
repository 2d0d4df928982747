// The framed test transport and its client end.
#include "FramedTransport.h"

#include <QHostAddress>
#include <QMetaObject>

#include "support/TestClient.h"

namespace tembrel::test {

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::uint32_t kMaxFrameBytes = 1u << 20;

void invert(std::span<std::uint8_t> bytes) {
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(~b);
    }
}

// Takes the frames at the front of `input` whose bytes have all arrived, as
// messages; false when a frame is too long or does not hold one message.
bool takeFrames(std::vector<std::uint8_t>& input, std::vector<net::CNDKMessage>& out) {
    std::size_t at = 0;
    while (input.size() - at >= kHeaderBytes) {
        std::uint32_t length = 0;
        for (std::size_t i = 0; i < kHeaderBytes; ++i) {
            length |= static_cast<std::uint32_t>(input[at + i]) << (8 * i);
        }
        if (length > kMaxFrameBytes) {
            return false;
        }
        if (input.size() - at - kHeaderBytes < length) {
            break;
        }
        std::vector<std::uint8_t> payload(input.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                                          input.begin() +
                                              static_cast<std::ptrdiff_t>(at + 4 + length));
        invert(payload);
        net::CNDKMessage message;
        std::size_t consumed = 0;
        if (net::CNDKArchive().decode(payload, message, consumed) !=
                net::CNDKArchive::Result::Complete ||
            consumed != length) {
            return false;
        }
        out.push_back(std::move(message));
        at += kHeaderBytes + length;
    }
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

} // namespace

void InvertedEncoding::encode(const net::CNDKMessage& message,
                              std::vector<std::uint8_t>& out) const {
    ++calls;
    const std::size_t start = out.size();
    net::CNDKArchive::encode(message, out);
    invert(std::span(out).subspan(start));
}

InvertedEncoding& invertedEncoding() {
    static InvertedEncoding encoding;
    return encoding;
}

void appendFrame(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    out.insert(out.end(), payload.begin(), payload.end());
}

FramedTransport::~FramedTransport() {
    QObject::disconnect(socket_.get(), nullptr, &context_, nullptr);
    socket_->abort();
}

void FramedTransport::start(Events& events) {
    QObject::connect(socket_.get(), &QIODevice::readyRead, &context_,
                     [this, &events] { events.inputArrived(*this); });
    QObject::connect(socket_.get(), &QAbstractSocket::disconnected, &context_, [this, &events] {
        lost_ = true;
        events.connectionLost(*this);
    });
    if (socket_->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(
            &context_, [this, &events] { events.inputArrived(*this); }, Qt::QueuedConnection);
    }
}

bool FramedTransport::takeInput() {
    const QByteArray got = socket_->readAll();
    input_.insert(input_.end(), got.begin(), got.end());
    return takeFrames(input_, decoded_);
}

bool FramedTransport::takeMessages(net::MessageBatch& batch) {
    if (decoded_.empty()) {
        return false;
    }
    for (net::CNDKMessage& message : decoded_) {
        const std::size_t size = net::CNDKArchive::encodedSize(message);
        batch.slot() = std::move(message);
        batch.commit(size);
    }
    decoded_.clear();
    return true;
}

bool FramedTransport::flush() {
    if (queued_.empty() || !isConnected()) {
        return false;
    }
    socket_->write(reinterpret_cast<const char*>(queued_.data()),
                   static_cast<qint64>(queued_.size()));
    queued_.clear();
    return true;
}

void FramedTransport::close(CloseMode mode) {
    QObject::disconnect(socket_.get(), nullptr, &context_, nullptr);
    if (mode == CloseMode::Graceful) {
        (void)flush();
        (void)socket_->flush(); // to the system now: the socket goes with the transport
        socket_->disconnectFromHost();
    } else {
        queued_.clear();
        socket_->abort();
    }
}

bool FramedPeer::connectTo(quint16 port) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    return waitUntil([&] { return socket_.state() == QAbstractSocket::ConnectedState; });
}

bool FramedPeer::send(const net::CNDKMessage& message) {
    std::vector<std::uint8_t> payload;
    invertedEncoding().encode(message, payload);
    return sendFrame(payload);
}

bool FramedPeer::sendFrame(std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame;
    appendFrame(payload, frame);
    const qint64 n = socket_.write(reinterpret_cast<const char*>(frame.data()),
                                   static_cast<qint64>(frame.size()));
    return n == static_cast<qint64>(frame.size()) && socket_.flush();
}

std::optional<net::CNDKMessage> FramedPeer::receive(int timeoutMs) {
    std::vector<net::CNDKMessage> got;
    bool ok = true;
    const bool arrived = waitUntil(
        [&] {
            const QByteArray bytes = socket_.readAll();
            input_.insert(input_.end(), bytes.begin(), bytes.end());
            std::vector<std::uint8_t> one(input_);
            ok = takeFrames(one, got);
            return !ok || !got.empty();
        },
        timeoutMs);
    if (!arrived || !ok) {
        return std::nullopt;
    }
    // Consume exactly the first frame.
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        length |= static_cast<std::uint32_t>(input_[i]) << (8 * i);
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(4 + length));
    return got.front();
}

bool FramedPeer::waitForClose(int timeoutMs) {
    return waitUntil([&] { return socket_.state() == QAbstractSocket::UnconnectedState; },
                     timeoutMs);
}

} // namespace tembrel::test

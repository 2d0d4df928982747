// Host inside: listening and admission, sending, dropping users, and the
// end-of-event work (flushing queued bytes, destroying removed connections).
#include "net/CNDKHostImpl.h"

#include <algorithm>
#include <thread>
#include <utility>

#include <QHostAddress>
#include <QTcpSocket>

namespace tembrel::net {

namespace {

// Pending connections the system queues before the host accepts them.
constexpr int kListenBacklog = 5;
constexpr int kMaxPort = 65535;

} // namespace

CNDKHost::Impl::Impl(CNDKHost& host, const Limits& limits)
    : host_(host), limits_(limits), codec_(limits.codec) {}

CNDKHost::Impl::~Impl() {
    destroying_ = true;
    for (CNDKPeer& peer : peers_.removeAll()) {
        peer.socket->close(CNDKSocket::CloseMode::Discard);
    }
    retired_.clear();
}

bool CNDKHost::Impl::startHost(int port) {
    if (listener_ || port < 0 || port > kMaxPort) {
        return false;
    }
    port_ = port;
    auto listener = std::unique_ptr<QTcpServer, DeleteLater>(new QTcpServer(&context_));
    listener->setListenBacklogSize(kListenBacklog);
    if (!listener->listen(QHostAddress::Any, static_cast<quint16>(port))) {
        return false;
    }
    QObject::connect(listener.get(), &QTcpServer::newConnection, &context_,
                     [this] { onNewConnection(); });
    listener_ = std::move(listener);
    return true;
}

void CNDKHost::Impl::stopHost() {
    if (listener_) {
        (void)sendToAll(CNDKMessage(kNdkIdServerStopping), 0);
    }
    dropAllUsers();
    if (listener_) {
        listener_->close();
        QObject::disconnect(listener_.get(), nullptr, &context_, nullptr);
        listener_.reset();
    }
    port_ = -1;
}

int CNDKHost::Impl::listeningPort() const noexcept {
    return listener_ ? static_cast<int>(listener_->serverPort()) : -1;
}

void CNDKHost::Impl::onNewConnection() {
    EventScope scope(*this);
    while (listener_ && listener_->hasPendingConnections()) {
        QTcpSocket* tcp = listener_->nextPendingConnection();
        if (tcp == nullptr) {
            break;
        }
        // The listener is destroyed when the host stops; the connection must
        // outlive it.
        tcp->setParent(&context_);
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto socket = std::make_unique<CNDKSocket>(tcp, context_);
        if (destroying_ || !host_.acceptsNewUser()) {
            retire(std::move(socket), CNDKSocket::CloseMode::Discard);
            continue;
        }
        CNDKSocket& added = *socket;
        const std::int32_t userId = peers_.add(std::move(socket));
        if (userId == 0) {
            continue; // no id left: the connection was closed unadmitted
        }
        watch(added);
        host_.onUserJoined(userId);
    }
}

void CNDKHost::Impl::watch(CNDKSocket& socket) {
    CNDKSocket* s = &socket;
    QTcpSocket& tcp = socket.tcp();
    QObject::connect(&tcp, &QIODevice::readyRead, &context_, [this, s] { onReadyRead(s); });
    QObject::connect(&tcp, &QAbstractSocket::disconnected, &context_,
                     [this, s] { onConnectionLost(s); });
    QObject::connect(&tcp, &QAbstractSocket::errorOccurred, &context_,
                     [this, s] { onConnectionLost(s); });
    QObject::connect(&socket.partialTimer(), &QTimer::timeout, &context_,
                     [this, s] { onPartialTimeout(s); });
}

bool CNDKHost::Impl::hasRoom(const CNDKSocket& socket, std::size_t bytes) const {
    if (!socket.isConnected()) {
        return false;
    }
    // Room for one whole message is always there; beyond that the backlog
    // of a user that does not read is bounded.
    const std::size_t backlog = socket.backlog();
    return backlog == 0 || backlog + bytes <= limits_.maxSendBacklog;
}

bool CNDKHost::Impl::queue(CNDKSocket& socket, std::span<const std::uint8_t> bytes) {
    if (!hasRoom(socket, bytes.size())) {
        return false;
    }
    std::vector<std::uint8_t>& out = socket.output();
    out.insert(out.end(), bytes.begin(), bytes.end());
    scheduleAfterEvent();
    return true;
}

bool CNDKHost::Impl::sendToUser(std::int32_t userId, const CNDKMessage& message) {
    bool sent = false;
    if (CNDKSocket* socket = peers_.find(userId)) {
        sent = hasRoom(*socket, CNDKArchive::encodedSize(message));
        if (sent) {
            CNDKArchive::encode(message, socket->output());
            scheduleAfterEvent();
        } else {
            removeUser(userId, CNDKSocket::CloseMode::Discard);
        }
    }
    if (!sent) {
        notifyDropped(userId, DropReason::SendFailed);
    }
    return sent;
}

bool CNDKHost::Impl::sendToAll(const CNDKMessage& message, std::int32_t exceptUserId) {
    encoded_.clear();
    CNDKArchive::encode(message, encoded_);
    std::vector<std::int32_t> failed;
    for (const CNDKPeer& peer : peers_.entries()) {
        if (peer.userId != exceptUserId && !queue(*peer.socket, encoded_)) {
            failed.push_back(peer.userId);
        }
    }
    for (const std::int32_t userId : failed) {
        removeUser(userId, CNDKSocket::CloseMode::Discard);
    }
    for (const std::int32_t userId : failed) {
        notifyDropped(userId, DropReason::SendFailed);
    }
    return failed.empty();
}

bool CNDKHost::Impl::dropUser(std::int32_t userId, DropReason reason) {
    if (!sendToUser(userId, CNDKMessage(kNdkIdDropped))) {
        return false; // already removed and reported with SendFailed
    }
    const bool found = removeUser(userId, CNDKSocket::CloseMode::Graceful);
    notifyDropped(userId, reason);
    return found;
}

void CNDKHost::Impl::dropAllUsers() {
    (void)sendToAll(CNDKMessage(kNdkIdDropped), 0);
    for (CNDKPeer& peer : peers_.removeAll()) {
        retire(std::move(peer.socket), CNDKSocket::CloseMode::Graceful);
    }
}

bool CNDKHost::Impl::removeUser(std::int32_t userId, CNDKSocket::CloseMode mode) {
    std::unique_ptr<CNDKSocket> socket = peers_.remove(userId);
    if (!socket) {
        return false;
    }
    retire(std::move(socket), mode);
    return true;
}

void CNDKHost::Impl::retire(std::unique_ptr<CNDKSocket> socket, CNDKSocket::CloseMode mode) {
    socket->close(mode);
    // The connection object may be the one whose signal is being handled
    // right now; it is destroyed when the event is over.
    retired_.push_back(std::move(socket));
    scheduleAfterEvent();
}

void CNDKHost::Impl::scheduleAfterEvent() {
    if (depth_ > 0 || afterEventScheduled_) {
        return;
    }
    // Called from outside any socket event (a timer, the window, a test):
    // finish the work on the next turn of the event loop.
    afterEventScheduled_ = true;
    QMetaObject::invokeMethod(
        &context_, [this] { EventScope scope(*this); }, Qt::QueuedConnection);
}

void CNDKHost::Impl::afterEvent() {
    afterEventScheduled_ = false;
    flushAll();
    retired_.clear();
}

void CNDKHost::Impl::flushAll() {
    // Each user's bytes leave in the order they were queued; only the order
    // in which the users' sockets are written is chosen here. The user whose
    // message was handled is waiting for the answer, so its socket goes
    // first.
    CNDKSocket* served = peers_.find(std::exchange(servedUserId_, 0));
    if (served != nullptr && served->flush() &&
        std::any_of(peers_.entries().begin(), peers_.entries().end(),
                    [](const CNDKPeer& peer) { return peer.socket->hasOutput(); })) {
        // Writing the other users' sockets takes tens of microseconds of
        // system time per broadcast. The served user's client often sits on
        // this very processor, preempted when its message woke this thread:
        // let it take its answer now rather than after the whole fan-out.
        // With nothing else ready to run here this returns at once.
        std::this_thread::yield();
    }
    for (const CNDKPeer& peer : peers_.entries()) {
        (void)peer.socket->flush();
    }
}

void CNDKHost::Impl::notifyDropped(std::int32_t userId, DropReason reason) {
    if (!destroying_) {
        host_.onUserDropped(userId, reason);
    }
}

} // namespace tembrel::net

// Host inside: the listeners, the allow-list and the admission of users.
#include <QTcpSocket>

#include "net/CNDKHostImpl.h"
#include "net/DirectSend.h"
#include "net/TcpTransport.h"

namespace tembrel::net {

namespace {

constexpr int kMaxPort = 65535;
// What Qt reads ahead from a connection before the host takes it. Bounded,
// so that input the host leaves waiting (a user that does not read its
// answers) stays in the system's buffers and slows the sender down.
constexpr qint64 kSocketReadAheadBytes = qint64{256} << 10;

constexpr std::string_view kNotAllowed = "address not allowed";
constexpr std::string_view kNoRoom = "no room for another user";

[[nodiscard]] std::string reasonText(const QTcpServer& listener) {
    switch (listener.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return "address already in use";
    case QAbstractSocket::SocketAccessError:
        return "permission denied";
    case QAbstractSocket::SocketAddressNotAvailableError:
        return "address not available";
    case QAbstractSocket::UnsupportedSocketOperationError:
        return "address family not supported";
    default:
        return listener.errorString().toStdString();
    }
}

[[nodiscard]] std::string addressText(const QHostAddress& address) {
    if (address == QHostAddress(QHostAddress::Any)) {
        return "every interface";
    }
    return address.toString().toStdString();
}

} // namespace

bool CNDKHost::Impl::startHost(int port) {
    if (isHosting()) {
        return false;
    }
    if (port < 0 || port > kMaxPort) {
        listenError_ = "port " + std::to_string(port) + " is outside 0 to 65535";
        return false;
    }
    port_ = port;
    listenError_.clear();
    std::vector<QHostAddress> addresses = exposure_.listenAddresses;
    if (addresses.empty()) {
        addresses.emplace_back(QHostAddress::Any); // IPv4 and IPv6
    }
    for (const QHostAddress& address : addresses) {
        // Port 0 picks a free port once; every address then shares it.
        const int wanted = listeners_.empty() ? port : listeningPort();
        if (!listenOn(address, wanted)) {
            closeListeners();
            return false;
        }
    }
    return true;
}

bool CNDKHost::Impl::listenOn(const QHostAddress& address, int port) {
    auto listener = std::unique_ptr<QTcpServer, DeleteLater>(new QTcpServer(&context_));
    // Pending connections the system queues before the host accepts them:
    // all it can, so simultaneous connects are admitted in the order they
    // were made.
    listener->setListenBacklogSize(maxListenBacklog());
    if (!listener->listen(address, static_cast<quint16>(port))) {
        listenError_ = "cannot listen on " + addressText(address) + " port " +
                       std::to_string(port) + ": " + reasonText(*listener);
        return false;
    }
    QTcpServer& added = *listener;
    QObject::connect(&added, &QTcpServer::newConnection, &context_,
                     [this, &added] { onNewConnection(added); });
    listeners_.push_back(std::move(listener));
    return true;
}

void CNDKHost::Impl::closeListeners() {
    for (auto& listener : listeners_) {
        listener->close();
        QObject::disconnect(listener.get(), nullptr, &context_, nullptr);
    }
    listeners_.clear();
}

void CNDKHost::Impl::stopHost() {
    if (isHosting()) {
        (void)sendToAll(CNDKMessage(kNdkIdServerStopping), 0);
    }
    dropAllUsers();
    closeListeners();
    port_ = -1;
}

int CNDKHost::Impl::listeningPort() const noexcept {
    return listeners_.empty() ? -1 : static_cast<int>(listeners_.front()->serverPort());
}

bool CNDKHost::Impl::allowsPeer(const QHostAddress& address, std::string_view cause) {
    if (exposure_.allowed.allows(address)) {
        return true;
    }
    refusals_.refused(address, cause);
    return false;
}

void CNDKHost::Impl::onNewConnection(QTcpServer& listener) {
    EventScope scope(*this);
    while (listener.hasPendingConnections()) {
        QTcpSocket* tcp = listener.nextPendingConnection();
        if (tcp == nullptr) {
            break;
        }
        // The listener is destroyed when the host stops; the connection must
        // outlive it.
        tcp->setParent(&context_);
        if (!allowsPeer(tcp->peerAddress(), kNotAllowed)) {
            // Closed before anything is read or sent; no id is used.
            tcp->abort();
            tcp->deleteLater();
            continue;
        }
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        tcp->setReadBufferSize(kSocketReadAheadBytes);
        (void)admitUser(
            std::make_unique<TcpTransport>(tcp, context_, codec_, limits_.partialMessageTimeout));
    }
}

std::int32_t CNDKHost::Impl::admitUser(std::unique_ptr<UserTransport> transport) {
    EventScope scope(*this);
    if (destroying_ || !host_.acceptsNewUser() || !peers_.hasFreeId()) {
        if (!destroying_) {
            refusals_.refused(transport->peerAddress(), kNoRoom);
        }
        retire(std::move(transport), UserTransport::CloseMode::Discard);
        return 0;
    }
    UserTransport& added = *transport;
    const std::int32_t userId = peers_.add(std::move(transport));
    added.start(*this);
    host_.onUserJoined(userId);
    return userId;
}

} // namespace tembrel::net

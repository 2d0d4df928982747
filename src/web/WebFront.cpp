// Request handling of the web front: page files, the protocol table, and the
// checks on WebSocket upgrades.
#include "web/WebFront.h"

#include <QHttpServerRequest>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QWebSocket>

#include "web/HttpListener.h"
#include "web/HttpReply.h"
#include "web/OriginPolicy.h"

namespace tembrel::web {

namespace {

using Method = QHttpServerRequest::Method;

[[nodiscard]] bool isWebSocketUpgrade(const QHttpServerRequest& request) {
    return request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

[[nodiscard]] std::string requestPath(const QHttpServerRequest& request) {
    return request.url().path(QUrl::FullyEncoded).toStdString();
}

// The Qt 6.4 HTTP server warns about every upgrade a server declines
// ("WebSocket received but no slots connected ... or request not handled");
// here declining is the point (a foreign origin gets its 403), so those
// warnings are not shown. Everything else of the category still is.
void silenceDeclinedUpgradeWarnings() {
    static const bool installed = [] {
        static QLoggingCategory::CategoryFilter previous = nullptr;
        previous = QLoggingCategory::installFilter([](QLoggingCategory* category) {
            if (previous != nullptr) {
                previous(category);
            }
            if (qstrcmp(category->categoryName(), "qt.httpserver") == 0) {
                category->setEnabled(QtWarningMsg, false);
            }
        });
        return true;
    }();
    (void)installed;
}

} // namespace

WebFront::WebFront(PageFiles files, Handlers handlers)
    : files_(std::move(files)), handlers_(std::move(handlers)) {
    silenceDeclinedUpgradeWarnings();
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] { admitPending(); });
}

WebFront::~WebFront() {
    // The sockets still open go with this object; none may report its end to
    // a transport while it is being destroyed.
    for (QWebSocket* socket : findChildren<QWebSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
    }
}

bool WebFront::listen(int port, const std::vector<QHostAddress>& addresses) {
    const std::vector<QHostAddress> every{QHostAddress(QHostAddress::Any)};
    std::vector<std::unique_ptr<HttpListener>> listeners;
    int bound = port;
    for (const QHostAddress& address : addresses.empty() ? every : addresses) {
        auto server = std::make_unique<HttpListener>(this, handlers_.allowsPeer);
        if (!server->listen(address, static_cast<quint16>(bound))) {
            return false;
        }
        bound = server->serverPort();
        listeners.push_back(std::move(server));
    }
    port_ = bound;
    for (auto& server : listeners) {
        bind(server.release());
    }
    return true;
}

std::optional<WebFront::Status> WebFront::upgradeRefusal(const QHttpServerRequest& request) const {
    if (requestPath(request) != kWebSocketPath) {
        return Status::NotFound;
    }
    if (!originAllowed(request.value("origin"), request.value("host"))) {
        return Status::Forbidden;
    }
    if (handlers_.accepting && !handlers_.accepting()) {
        return Status::ServiceUnavailable;
    }
    return std::nullopt;
}

bool WebFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (isWebSocketUpgrade(request)) {
        // True hands the connection to the WebSocket server; false makes Qt
        // call missingHandler, which answers with the refusal's status.
        if (upgradeRefusal(request)) {
            return false;
        }
        // Small messages (a status broadcast, a spectrum frame) leave at once
        // rather than wait for the peer's acknowledgement, as for TCP users.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        HttpListener::markUpgraded(*socket);
        return true;
    }
    serveFile(request, socket);
    return true;
}

void WebFront::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    const Status status = isWebSocketUpgrade(request)
                              ? upgradeRefusal(request).value_or(Status::BadRequest)
                              : Status::NotFound;
    QHttpServerResponder responder = makeResponder(request, socket);
    HttpReply reply = errorReply(status);
    reply.headers.emplace_back("Connection", "close");
    sendReply(responder, reply, request.value("host"));
}

void WebFront::serveFile(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    const QByteArray host = request.value("host");
    const bool head = request.method() == Method::Head;
    if (request.method() != Method::Get && !head) {
        HttpReply reply = errorReply(Status::MethodNotAllowed);
        reply.headers.emplace_back("Allow", "GET, HEAD");
        sendReply(responder, reply, host);
        return;
    }
    const std::string path = requestPath(request);
    const PageFile* file = files_.find(path);
    if (file == nullptr) {
        HttpReply reply =
            errorReply(path == kWebSocketPath ? Status::UpgradeRequired : Status::NotFound);
        reply.headOnly = head;
        sendReply(responder, reply, host);
        return;
    }
    HttpReply reply;
    reply.headers.emplace_back("ETag", file->etag);
    reply.headers.emplace_back("Cache-Control",
                               file->revalidate ? "no-cache" : "public, max-age=3600");
    if (request.value("if-none-match") == file->etag) {
        reply.status = Status::NotModified;
        reply.headOnly = true;
    } else {
        reply.contentType = file->contentType;
        reply.body = file->body;
        reply.headOnly = head;
    }
    sendReply(responder, reply, host);
}

void WebFront::admitPending() {
    while (hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = nextPendingWebSocketConnection();
        if (socket && handlers_.admit) {
            handlers_.admit(std::move(socket));
        }
    }
}

} // namespace tembrel::web

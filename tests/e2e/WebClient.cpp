// The test's WebSocket user.
#include "WebClient.h"

#include <QUrl>

#include <vector>

#include "support/TestClient.h"
#include "web/JsonCodec.h"

namespace tembrel::test {

WebClient::WebClient(int port, std::optional<QString> origin)
    : socket_(origin.value_or(QStringLiteral("http://127.0.0.1:%1").arg(port))), port_(port) {
    QObject::connect(
        &socket_, &QWebSocket::textMessageReceived, &socket_, [this](const QString& text) {
            const QByteArray utf8 = text.toUtf8();
            net::CNDKMessage message;
            if (web::decodeJson({utf8.constData(), static_cast<std::size_t>(utf8.size())}, {},
                                message)) {
                queue_.push_back(std::move(message));
            } else {
                malformed_ = true;
            }
        });
    QObject::connect(&socket_, &QWebSocket::disconnected, &socket_, [this] { closed_ = true; });
}

bool WebClient::open(int timeoutMs) {
    socket_.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port_)));
    return waitUntil([&] { return socket_.state() == QAbstractSocket::ConnectedState || closed_; },
                     timeoutMs) &&
           socket_.state() == QAbstractSocket::ConnectedState;
}

void WebClient::send(const net::CNDKMessage& message) {
    std::vector<std::uint8_t> json;
    web::encodeJson(message, json);
    sendText(QString::fromUtf8(reinterpret_cast<const char*>(json.data()),
                               static_cast<qsizetype>(json.size())));
}

void WebClient::sendText(const QString& text) {
    socket_.sendTextMessage(text);
    socket_.flush();
}

bool WebClient::join(const std::string& name) {
    net::CNDKMessage message(0);
    message.appendText(name);
    send(message);
    return receiveUntil([](const net::CNDKMessage& m) { return named(m, "^TotalTracks"); })
        .has_value();
}

std::optional<net::CNDKMessage>
WebClient::receiveUntil(const std::function<bool(const net::CNDKMessage&)>& pred, int timeoutMs) {
    std::optional<net::CNDKMessage> found;
    waitUntil(
        [&] {
            while (!queue_.empty() && !found) {
                net::CNDKMessage next = std::move(queue_.front());
                queue_.pop_front();
                if (pred(next)) {
                    found = std::move(next);
                }
            }
            return found.has_value() || closed_;
        },
        timeoutMs);
    return found;
}

bool WebClient::waitForClose(int timeoutMs) {
    return waitUntil([&] { return closed_; }, timeoutMs);
}

bool WebClient::isOpen() const {
    return !closed_ && socket_.state() == QAbstractSocket::ConnectedState;
}

bool named(const net::CNDKMessage& message, std::string_view name) {
    return textAt(message, 0) == name;
}

} // namespace tembrel::test

// HTTP answers with their common headers.
#include "web/HttpReply.h"

#include <QMetaEnum>

namespace tembrel::web {

namespace {

// Scripts, styles, fonts, the manifest and connections only from the server
// itself; pictures also as data: and blob: URLs (album pictures arrive over
// the WebSocket); no frames, forms or plugins.
constexpr const char* kContentSecurityPolicy =
    "default-src 'self'; img-src 'self' data: blob:; object-src 'none'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'; connect-src 'self'";

// A Host header fit to be named in the policy: host name or address and port.
[[nodiscard]] bool plainHost(const QByteArray& host) {
    if (host.isEmpty()) {
        return false;
    }
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':' ||
                             c == '[' || c == ']';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

[[nodiscard]] QByteArray reasonPhrase(QHttpServerResponder::StatusCode status) {
    const QMetaEnum meta = QMetaEnum::fromType<QHttpServerResponder::StatusCode>();
    QByteArray name = meta.valueToKey(static_cast<int>(status));
    // "NotFound" -> "Not Found"
    QByteArray phrase;
    for (const char c : name) {
        if (c >= 'A' && c <= 'Z' && !phrase.isEmpty()) {
            phrase += ' ';
        }
        phrase += c;
    }
    return phrase;
}

} // namespace

HttpReply errorReply(QHttpServerResponder::StatusCode status) {
    HttpReply reply;
    reply.status = status;
    reply.body = QByteArray::number(static_cast<int>(status)) + ' ' + reasonPhrase(status) + '\n';
    reply.headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

void sendReply(QHttpServerResponder& responder, const HttpReply& reply, const QByteArray& host) {
    QByteArray policy = kContentSecurityPolicy;
    if (plainHost(host)) {
        policy += " ws://" + host;
    }
    responder.writeStatusLine(reply.status);
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("Content-Security-Policy", policy);
    for (const auto& [name, value] : reply.headers) {
        responder.writeHeader(name, value);
    }
    if (reply.headOnly) {
        responder.writeBody(QByteArray());
    } else {
        responder.writeBody(reply.body);
    }
}

} // namespace tembrel::web

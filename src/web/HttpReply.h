// Writing one HTTP answer of the web front: status, the headers every answer
// carries (content type, length, the security headers), and the body unless
// the request was HEAD.
#pragma once

#include <QByteArray>
#include <QHttpServerResponder>

#include <utility>
#include <vector>

namespace tembrel::web {

struct HttpReply {
    QHttpServerResponder::StatusCode status = QHttpServerResponder::StatusCode::Ok;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers; // beyond the common ones
    bool headOnly = false; // HEAD: headers with the length, no body
};

// An answer with a short text body naming the status ("404 Not Found").
[[nodiscard]] HttpReply errorReply(QHttpServerResponder::StatusCode status);

// `host`: the request's Host header, named in the content security policy so
// that the page may open its WebSocket.
void sendReply(QHttpServerResponder& responder, const HttpReply& reply, const QByteArray& host);

} // namespace tembrel::web

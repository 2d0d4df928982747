// Wiring of the web front to the host: upgraded WebSockets become users.
#include "web/WebRemote.h"

#include <QWebSocket>

#include "web/PageAddresses.h"
#include "web/WebFront.h"
#include "web/WebSocketTransport.h"

namespace tembrel::web {

namespace {

constexpr std::string_view kProtocolTablePath = "/protocol.json";
// The reason in the log line about a peer the allow-list keeps off the web
// port; the TCP listener's own line says "address not allowed".
constexpr std::string_view kNotAllowedHere = "address not allowed on the web port";

} // namespace

WebRemote::WebRemote(net::CNDKHost& host, Options options)
    : host_(host), options_(std::move(options)) {
    options_.serverLimits.maxValueCount = options_.codecLimits.maxValueCount;
    options_.serverLimits.maxMessageBytes = options_.codecLimits.maxMessageBytes;
    options_.serverLimits.maxFrameBytes = WebSocketTransport::maxFrameBytes(options_.codecLimits);

    PageFiles files;
    files.add(std::string(kProtocolTablePath), protocolTableJson(options_.serverLimits),
              contentTypeFor(kProtocolTablePath), true);

    WebFront::Handlers handlers;
    handlers.allowsPeer = [this](const QHostAddress& address) {
        return host_.allowsPeer(address, kNotAllowedHere);
    };
    handlers.accepting = [this] {
        return host_.isHosting();
    };
    handlers.admit = [this](std::unique_ptr<QWebSocket> socket) {
        // A refused user is closed by the host; the id is of no use here.
        (void)host_.admitUser(
            std::make_unique<WebSocketTransport>(std::move(socket), *front_, options_.codecLimits));
    };
    front_ = std::make_unique<WebFront>(std::move(files), std::move(handlers));
}

WebRemote::~WebRemote() = default;

bool WebRemote::listen(int port) {
    return front_->listen(port, host_.listenAddresses());
}

int WebRemote::port() const noexcept {
    return front_->port();
}

std::vector<std::string> WebRemote::urls() const {
    return port() < 0 ? std::vector<std::string>{} : pageUrls(port());
}

std::optional<std::string> WebRemote::guestUrl() const {
    if (port() < 0) {
        return std::nullopt;
    }
    if (auto lan = lanPageUrl(port())) {
        return lan;
    }
    const std::vector<std::string> all = pageUrls(port());
    return all.empty() ? std::nullopt : std::optional(all.front());
}

} // namespace tembrel::web

// The web remote: the HTTP front on its port, whose WebSocket users the host
// admits like TCP users. Owned by the shell beside the controller; the host
// must outlive it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/CNDKArchive.h"
#include "net/CNDKHost.h"
#include "web/ProtocolTable.h"

namespace tembrel::web {

class WebFront;

class WebRemote {
public:
    // The page's port unless told otherwise.
    static constexpr int kDefaultPort = 6080;

    struct Options {
        // Bounds each received message, as the host's limits bound a TCP
        // user's.
        net::CNDKArchive::Limits codecLimits{};
        // What /protocol.json reports besides the protocol's tables.
        ServerLimits serverLimits{};
    };

    WebRemote(net::CNDKHost& host, Options options);
    ~WebRemote();

    WebRemote(const WebRemote&) = delete;
    WebRemote& operator=(const WebRemote&) = delete;

    // Listens where the host's TCP listener does (its listen addresses, or
    // every local address); port 0 picks a free port. False when the port
    // cannot be bound. Peers are admitted by the host's allow-list.
    [[nodiscard]] bool listen(int port);
    // The bound port, or -1.
    [[nodiscard]] int port() const noexcept;

    // "http://HOST:PORT/" for every address (see pageUrls), and the one to
    // give guests (a LAN address, else loopback). Empty while not listening.
    [[nodiscard]] std::vector<std::string> urls() const;
    [[nodiscard]] std::optional<std::string> guestUrl() const;

private:
    net::CNDKHost& host_;
    Options options_;
    std::unique_ptr<WebFront> front_;
};

} // namespace tembrel::web

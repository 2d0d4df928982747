#pragma once

// Which peer addresses may connect: a list of networks (CIDR). A server that
// is forwarded to the internet by mistake then refuses strangers. Every front
// end (the TCP listener, the web server) asks the same policy before it lets
// a peer in.

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <QHostAddress>

namespace tembrel::net {

class AddressPolicy {
public:
    using Network = std::pair<QHostAddress, int>; // address and prefix length

    // Loopback, the private ranges (10/8, 172.16/12, 192.168/16, fc00::/7),
    // link-local (169.254/16, fe80::/10) and 100.64/10, which overlay VPNs use.
    [[nodiscard]] static AddressPolicy localNetworks();
    // "10.0.0.0/8", "fd00::/8", or a single address ("192.0.2.7"); nullopt
    // when the text is none of these.
    [[nodiscard]] static std::optional<Network> parseNetwork(std::string_view text);

    // The IPv4 address an IPv4-mapped IPv6 one (::ffff:a.b.c.d) carries;
    // any other address unchanged.
    [[nodiscard]] static QHostAddress unmapped(const QHostAddress& address);

    // An empty list allows nobody.
    explicit AddressPolicy(std::vector<Network> networks) noexcept
        : networks_(std::move(networks)) {}

    // Whether a peer at `address` may connect. An IPv4-mapped IPv6 address
    // (::ffff:a.b.c.d, as a dual-stack listener reports IPv4 peers) is judged
    // as the IPv4 address it carries.
    [[nodiscard]] bool allows(const QHostAddress& address) const;

    [[nodiscard]] const std::vector<Network>& networks() const noexcept { return networks_; }

private:
    std::vector<Network> networks_;
};

} // namespace tembrel::net

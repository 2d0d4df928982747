// The allow-list of peer networks and its default.
#include "net/AddressPolicy.h"

#include <QString>

namespace tembrel::net {

namespace {

constexpr std::string_view kLocalNetworks[] = {
    "127.0.0.0/8", "::1/128",        "10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16",
    "fc00::/7",    "169.254.0.0/16", "fe80::/10",  "100.64.0.0/10",
};

} // namespace

QHostAddress AddressPolicy::unmapped(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool isMapped = false;
        const quint32 v4 = address.toIPv4Address(&isMapped);
        if (isMapped) {
            return QHostAddress(v4);
        }
    }
    return address;
}

AddressPolicy AddressPolicy::localNetworks() {
    std::vector<Network> networks;
    for (const std::string_view text : kLocalNetworks) {
        if (auto network = parseNetwork(text)) {
            networks.push_back(std::move(*network));
        }
    }
    return AddressPolicy(std::move(networks));
}

std::optional<AddressPolicy::Network> AddressPolicy::parseNetwork(std::string_view text) {
    const QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
    if (q.isEmpty()) {
        return std::nullopt;
    }
    if (!q.contains(u'/')) {
        QHostAddress single;
        if (!single.setAddress(q)) {
            return std::nullopt;
        }
        single = unmapped(single);
        const int bits = single.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        return Network{single, bits};
    }
    const Network network = QHostAddress::parseSubnet(q);
    if (network.first.isNull() || network.second < 0) {
        return std::nullopt;
    }
    return network;
}

bool AddressPolicy::allows(const QHostAddress& address) const {
    const QHostAddress peer = unmapped(address);
    if (peer.isNull()) {
        return false;
    }
    for (const Network& network : networks_) {
        if (peer.isInSubnet(network.first, network.second)) {
            return true;
        }
    }
    return false;
}

} // namespace tembrel::net

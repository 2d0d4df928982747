// Listing the machine's addresses as page URLs.
#include "web/PageAddresses.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace tembrel::web {

namespace {

struct Candidate {
    QHostAddress address;
    bool loopback = false;
};

[[nodiscard]] std::vector<Candidate> localAddresses() {
    std::vector<Candidate> found;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress& address = entry.ip();
            if (address.isLinkLocal() || address.isNull()) {
                continue;
            }
            found.push_back({address, address.isLoopback()});
        }
    }
    // IPv4 before IPv6, loopback before LAN within each, else as listed.
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        const bool aV4 = a.address.protocol() == QAbstractSocket::IPv4Protocol;
        const bool bV4 = b.address.protocol() == QAbstractSocket::IPv4Protocol;
        if (aV4 != bV4) {
            return aV4;
        }
        return a.loopback && !b.loopback;
    });
    return found;
}

[[nodiscard]] std::string urlOf(const QHostAddress& address, int port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return "http://" + host.toStdString() + ":" + std::to_string(port) + "/";
}

} // namespace

std::vector<std::string> pageUrls(int port) {
    std::vector<std::string> urls;
    for (const Candidate& candidate : localAddresses()) {
        urls.push_back(urlOf(candidate.address, port));
    }
    return urls;
}

std::optional<std::string> lanPageUrl(int port) {
    for (const Candidate& candidate : localAddresses()) {
        if (!candidate.loopback) {
            return urlOf(candidate.address, port);
        }
    }
    return std::nullopt;
}

} // namespace tembrel::web

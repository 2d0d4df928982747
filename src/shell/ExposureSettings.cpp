// Listen addresses and allowed networks from the flags or the settings.
#include "shell/ExposureSettings.h"

#include <string>

namespace tembrel::shell {

namespace {

void reportUnusable(const std::function<void(std::string_view)>& log, const char* setting,
                    const std::string& entry) {
    if (log) {
        log(std::string("Settings: ") + setting + " entry \"" + entry +
            "\" is not an address or network; ignored");
    }
}

[[nodiscard]] std::vector<QHostAddress>
storedListen(const LoadedSettings& stored, const std::function<void(std::string_view)>& log) {
    std::vector<QHostAddress> addresses;
    for (const std::string& entry : stored.listen) {
        QHostAddress address;
        if (address.setAddress(QString::fromStdString(entry))) {
            addresses.push_back(address);
        } else {
            reportUnusable(log, "Listen", entry);
        }
    }
    return addresses;
}

[[nodiscard]] std::vector<net::AddressPolicy::Network>
storedAllow(const LoadedSettings& stored, const std::function<void(std::string_view)>& log) {
    std::vector<net::AddressPolicy::Network> networks;
    for (const std::string& entry : stored.allow) {
        if (auto network = net::AddressPolicy::parseNetwork(entry)) {
            networks.push_back(*network);
        } else {
            reportUnusable(log, "Allow", entry);
        }
    }
    return networks;
}

} // namespace

net::CNDKHost::Exposure exposureFor(const ServerOptions& options, const LoadedSettings& stored,
                                    const std::function<void(std::string_view line)>& log) {
    net::CNDKHost::Exposure exposure;
    exposure.listenAddresses = options.listen.empty() ? storedListen(stored, log) : options.listen;
    std::vector<net::AddressPolicy::Network> allowed =
        options.allow.empty() ? storedAllow(stored, log) : options.allow;
    if (!allowed.empty()) {
        exposure.allowed = net::AddressPolicy(std::move(allowed));
    }
    return exposure;
}

} // namespace tembrel::shell

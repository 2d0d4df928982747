// The server's address from the environment, as users of other music
// daemons' clients expect: TEMBREL_HOST (host, host:port, [v6] or [v6]:port)
// and TEMBREL_PORT, each only where the command line did not say.
#include <charconv>
#include <optional>
#include <string_view>

#include "CommandLine.h"

namespace tembrel::client {

namespace {

constexpr int kMaxPort = 65535;

[[nodiscard]] std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || port < 1 ||
        port > kMaxPort) {
        return std::nullopt;
    }
    return port;
}

struct HostAndPort {
    std::string host;
    std::optional<std::string_view> port;
};

// An address with several colons and no brackets is an IPv6 address alone.
[[nodiscard]] std::optional<HostAndPort> splitHost(std::string_view text) {
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        HostAndPort result{std::string(text.substr(1, close - 1)), std::nullopt};
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':')) {
                return std::nullopt;
            }
            result.port = rest.substr(1);
        }
        return result;
    }
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
        return HostAndPort{std::string(text), std::nullopt};
    }
    return HostAndPort{std::string(text.substr(0, colon)), text.substr(colon + 1)};
}

} // namespace

std::string applyEnvironment(Options& options, const char* hostVariable, const char* portVariable) {
    if (!options.portGiven && portVariable != nullptr && *portVariable != '\0') {
        const auto port = parsePort(portVariable);
        if (!port) {
            return "TEMBREL_PORT needs a port number from 1 to 65535, not '" +
                   std::string(portVariable) + "'";
        }
        options.port = *port;
        options.portGiven = true;
    }
    if (hostVariable == nullptr || *hostVariable == '\0' ||
        (options.hostGiven && options.portGiven)) {
        return {};
    }
    const auto split = splitHost(hostVariable);
    std::optional<int> port;
    if (split && split->port) {
        port = parsePort(*split->port);
    }
    if (!split || split->host.empty() || (split->port && !port)) {
        return "TEMBREL_HOST needs a host or host:port (port 1 to 65535), not '" +
               std::string(hostVariable) + "'";
    }
    if (!options.hostGiven) {
        options.host = split->host;
    }
    if (!options.portGiven && port) {
        options.port = *port;
    }
    return {};
}

} // namespace tembrel::client

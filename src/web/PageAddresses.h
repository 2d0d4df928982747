// The addresses at which the page can be opened: loopback and every LAN
// address of the machine's running interfaces.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tembrel::web {

// "http://HOST:PORT/" for every local address the server listens on: IPv4
// first (loopback, then the LAN addresses), then IPv6 (link-local ones are
// left out: a browser cannot open them without the interface name).
[[nodiscard]] std::vector<std::string> pageUrls(int port);

// The address a guest in the room should open: the first LAN IPv4 address,
// else the first LAN IPv6 one; nothing when the machine has no LAN address.
[[nodiscard]] std::optional<std::string> lanPageUrl(int port);

} // namespace tembrel::web

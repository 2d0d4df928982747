// The lines that invite guests to the web remote: its address for guests and
// a QR code of it readable in a terminal, for the log of a headless server
// and the terminal a windowed one was started from.
#pragma once

#include <string>
#include <vector>

#include "web/WebRemote.h"

namespace tembrel::shell {

// Empty when the web remote is off (null) or has no address to give.
[[nodiscard]] std::vector<std::string> webRemoteBanner(const web::WebRemote* remote);

} // namespace tembrel::shell

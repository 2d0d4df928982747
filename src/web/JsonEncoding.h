// The JSON form of messages as a transport encoding: every web user shares
// this one object, so a broadcast is turned into JSON once for all of them.
#pragma once

#include "net/UserTransport.h"

namespace tembrel::web {

[[nodiscard]] const net::MessageEncoding& jsonEncoding() noexcept;

} // namespace tembrel::web

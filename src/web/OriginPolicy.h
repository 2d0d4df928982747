// Which WebSocket upgrades come from the page itself. A browser sends the
// Origin of the page that opens a WebSocket; only the server's own page,
// `http://` + the Host the request was sent to, may drive the jukebox, so a
// page on another site cannot use a guest's browser to reach it.
#pragma once

#include <QByteArray>

namespace tembrel::web {

// True when `origin` is the page's own (compared without regard to case), or
// when there is no Origin at all (not a browser: such a client could use the
// TCP port just as well).
[[nodiscard]] bool originAllowed(const QByteArray& origin, const QByteArray& host);

} // namespace tembrel::web

// The same-origin rule for WebSocket upgrades.
#include "web/OriginPolicy.h"

namespace tembrel::web {

bool originAllowed(const QByteArray& origin, const QByteArray& host) {
    if (origin.isEmpty()) {
        return true;
    }
    if (host.isEmpty()) {
        return false;
    }
    return origin.compare("http://" + host, Qt::CaseInsensitive) == 0;
}

} // namespace tembrel::web

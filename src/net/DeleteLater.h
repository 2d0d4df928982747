#pragma once

#include <QObject>

namespace tembrel::net {

// Deletes a QObject once control is back in the event loop, so an object can
// be released from inside one of its own signal handlers.
struct DeleteLater {
    void operator()(QObject* object) const noexcept { object->deleteLater(); }
};

} // namespace tembrel::net

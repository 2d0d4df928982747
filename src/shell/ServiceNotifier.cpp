#include "shell/ServiceNotifier.h"

#include <string>

#ifdef TEMBREL_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace tembrel::shell {

namespace {

void notify(const std::string& state) {
#ifdef TEMBREL_HAVE_SYSTEMD
    // Outside a notify unit NOTIFY_SOCKET is unset and this returns 0.
    (void)sd_notify(0, state.c_str());
#else
    (void)state;
#endif
}

} // namespace

void ServiceNotifier::ready() const {
    notify("READY=1");
}

void ServiceNotifier::reloading() const {
    notify("RELOADING=1");
}

void ServiceNotifier::stopping() const {
    notify("STOPPING=1");
}

void ServiceNotifier::status(std::string_view text) const {
    notify("STATUS=" + std::string(text));
}

} // namespace tembrel::shell

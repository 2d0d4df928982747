// The headless server: a QCoreApplication, the console view and the
// signal handling around a ServerApp.
#pragma once

#include "shell/ServerOptions.h"

namespace tembrel::shell {

// Whether this process can open a window: a Qt platform other than
// offscreen/minimal is named, or an X11 or Wayland display is set.
[[nodiscard]] bool displayAvailable();

// Runs until SIGINT or SIGTERM; returns the process exit code.
[[nodiscard]] int runHeadless(int argc, char** argv, const ServerOptions& options);

} // namespace tembrel::shell

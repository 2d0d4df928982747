// Entry point of the windowed server: creates the QApplication, the main
// window and the tray icon around a ServerApp and runs the event loop.
#pragma once

#include "shell/ServerOptions.h"

namespace tembrel::shell {

// Returns the process exit code.
[[nodiscard]] int runWindowed(int argc, char** argv, const ServerOptions& options);

} // namespace tembrel::shell

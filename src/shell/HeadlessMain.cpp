// Runs the server without a window: log lines on standard output, SIGINT and
// SIGTERM end it after the exit steps, SIGHUP rescans the library while users
// stay connected (and starts a stopped server).
#include "shell/HeadlessMain.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string_view>

#include "shell/HeadlessConsole.h"
#include "shell/ServerApp.h"
#include "shell/SignalWatcher.h"
#include "shell/WebRemoteBanner.h"

namespace tembrel::shell {

namespace {

[[nodiscard]] std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view{} : std::string_view{value};
}

} // namespace

bool displayAvailable() {
    const std::string_view platform = environment("QT_QPA_PLATFORM");
    if (!platform.empty()) {
        return !platform.starts_with("offscreen") && !platform.starts_with("minimal");
    }
    return !environment("DISPLAY").empty() || !environment("WAYLAND_DISPLAY").empty();
}

int runHeadless(int argc, char** argv, const ServerOptions& options) {
    QCoreApplication app(argc, argv);
    HeadlessConsole console;
    ServerApp server(options, console);

    bool exiting = false;
    SignalWatcher signalWatcher(
        [&] {
            if (!exiting) {
                exiting = true;
                server.exit();
                QCoreApplication::quit();
            }
        },
        [&] { server.controller().rescanLibrary(); });
    if (!signalWatcher.isActive()) {
        console.logLineAppended("Signals cannot be watched: SIGTERM ends the server at once.");
    }

    server.initialise();
    for (const std::string& line : webRemoteBanner(server.webRemote())) {
        console.logLineAppended(line);
    }
    return QCoreApplication::exec();
}

} // namespace tembrel::shell

// Runs the server without a window: log lines on the console, SIGINT and
// SIGTERM end it after the exit steps, SIGHUP rescans the library while users
// stay connected (and starts a stopped server).
#include "shell/HeadlessMain.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/HeadlessConsole.h"
#include "shell/ServerApp.h"
#include "shell/ServiceNotifier.h"
#include "shell/SignalWatcher.h"
#include "shell/WebRemoteBanner.h"

namespace tembrel::shell {

namespace {

// Exit status of a headless server that cannot listen, so that a service
// manager sees the failure.
constexpr int kCannotListenExitCode = 1;

// Says why listening failed (an error, so on standard error).
void reportCannotListen(HeadlessConsole& console, remote::CServerDlg& controller) {
    const std::string& reason = controller.listenError();
    console.write(LogLevel::Error,
                  "Cannot start the server: " +
                      (reason.empty() ? std::string("the port is not a whole number") : reason));
}

// While it lives, Qt's own messages (warnings of its network classes, say)
// go to the console with their levels, like the server's lines.
class QtMessagesToConsole {
public:
    explicit QtMessagesToConsole(HeadlessConsole& console) {
        console_ = &console;
        previous_ = qInstallMessageHandler(&route);
    }
    ~QtMessagesToConsole() {
        qInstallMessageHandler(previous_);
        console_ = nullptr;
    }
    QtMessagesToConsole(const QtMessagesToConsole&) = delete;
    QtMessagesToConsole& operator=(const QtMessagesToConsole&) = delete;

private:
    static void route(QtMsgType type, const QMessageLogContext& /*context*/,
                      const QString& message) {
        HeadlessConsole* console = console_;
        if (console == nullptr) {
            return;
        }
        const LogLevel level = type == QtCriticalMsg || type == QtFatalMsg ? LogLevel::Error
                               : type == QtWarningMsg                      ? LogLevel::Warning
                                                                           : LogLevel::Info;
        console->write(level, message.toStdString());
    }

    // Qt calls the handler from any thread; the console writes each line at once.
    static inline std::atomic<HeadlessConsole*> console_{nullptr};
    QtMessageHandler previous_ = nullptr;
};

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
    const QtMessagesToConsole qtMessages(console);
    ServerApp server(options, console);
    const ServiceNotifier service;

    bool exiting = false;
    SignalWatcher signalWatcher(
        [&] {
            if (!exiting) {
                exiting = true;
                service.stopping();
                server.exit();
                QCoreApplication::quit();
            }
        },
        [&] {
            service.reloading();
            server.controller().rescanLibrary();
            service.ready();
        });
    if (!signalWatcher.isActive()) {
        console.write(LogLevel::Warning,
                      "Signals cannot be watched: SIGTERM ends the server at once.");
    }

    server.initialise();
    if (!server.controller().isHosting()) {
        reportCannotListen(console, server.controller());
        return kCannotListenExitCode;
    }
    service.ready();
    for (const std::string& line : webRemoteBanner(server.webRemote())) {
        console.logLineAppended(line);
    }
    return QCoreApplication::exec();
}

} // namespace tembrel::shell

// The windowed program: a QApplication around the main window, which owns the
// server; the event loop runs until the window's exit steps have run.
#include "shell/gui/WindowMain.h"

#include <QApplication>

#include <cstdio>

#include "shell/ServerApp.h"
#include "shell/SignalWatcher.h"
#include "shell/WebRemoteBanner.h"
#include "shell/gui/GuiResources.h"
#include "shell/gui/MainWindow.h"

namespace tembrel::shell {

int runWindowed(int argc, char** argv, const ServerOptions& options) {
    QApplication app(argc, argv);
    // The window spends most of its life hidden; closing the About box or a
    // notice must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(programIcon());
    applyDialogColours(app);

    MainWindow window(options);
    // Queued: an exit during start-up is carried out once the loop runs.
    QObject::connect(&window, &MainWindow::exited, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // A session logout ends the loop without the window's say: save all the same.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &MainWindow::exitMainWindow);
    // SIGINT and SIGTERM end the program with the exit steps, as Quit does.
    const SignalWatcher signalWatcher([&window] { window.exitMainWindow(); }, {});
    window.initMainWindow();
    // The window shows the code on request; the terminal the program was
    // started from gets it at once.
    for (const std::string& line : webRemoteBanner(window.app().webRemote())) {
        std::puts(line.c_str());
    }
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace tembrel::shell

// A main window around a real controller for the window tests: settings in a
// temporary INI file, the silent audio output, a free loopback port.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "remote/CServerDlg.h"
#include "shell/ServerOptions.h"
#include "shell/gui/MainWindow.h"
#include "support/TestClient.h"

class QMessageBox;

namespace tembrel::test {

class WindowHarness {
public:
    WindowHarness();
    ~WindowHarness();

    // Builds the window and runs its initialisation (the server starts).
    shell::MainWindow&
    open(shell::MainWindow::TrayMode mode = shell::MainWindow::TrayMode::Available);

    [[nodiscard]] shell::MainWindow& window() { return *window_; }
    [[nodiscard]] remote::CServerDlg& controller();
    [[nodiscard]] const shell::MainWindowControls& controls() { return window_->controls(); }
    [[nodiscard]] quint16 port();

    [[nodiscard]] QStringList logLines() const;
    [[nodiscard]] QStringList userLines() const;
    // The visible message boxes of the window whose text is `text`.
    [[nodiscard]] std::vector<QMessageBox*> notices(const QString& text) const;
    // A client that has joined as `name`, once the window lists it.
    [[nodiscard]] std::unique_ptr<TestClient> join(const std::string& name);
    // The raw value stored in the settings file's "Settings" group.
    [[nodiscard]] QString storedValue(const QString& key) const;
    [[nodiscard]] bool hasStoredValue(const QString& key) const;

    QTemporaryDir dir;
    shell::ServerOptions options;
    int exitedCount = 0;

private:
    std::unique_ptr<shell::MainWindow> window_;
};

} // namespace tembrel::test

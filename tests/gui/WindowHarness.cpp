// The window tests' harness: real controller, real settings file, real sockets.
#include "WindowHarness.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include "protocol/MessageIds.h"
#include "shell/ServerApp.h"

namespace tembrel::test {

WindowHarness::WindowHarness() {
    options.settingsFile = std::filesystem::path(dir.filePath("settings.ini").toStdString());
    options.uploadDir = std::filesystem::path(dir.filePath("uploads").toStdString());
    options.audio = shell::AudioChoice{playback::AudioOutput::Null, {}};
    options.port = 0;
    // Windows run in parallel: each web remote on a free port.
    options.webPort = 0;
}

WindowHarness::~WindowHarness() = default;

shell::MainWindow& WindowHarness::open(shell::MainWindow::TrayMode mode) {
    window_ = std::make_unique<shell::MainWindow>(options, mode);
    QObject::connect(window_.get(), &shell::MainWindow::exited, [this] { ++exitedCount; });
    window_->initMainWindow();
    return *window_;
}

remote::CServerDlg& WindowHarness::controller() {
    return window_->app().controller();
}

quint16 WindowHarness::port() {
    return static_cast<quint16>(controller().listeningPort());
}

QStringList WindowHarness::logLines() const {
    return window_->controls().log->toPlainText().split(QLatin1Char('\n'));
}

QStringList WindowHarness::userLines() const {
    QStringList lines;
    const QListWidget* users = window_->controls().users;
    for (int row = 0; row < users->count(); ++row) {
        lines << users->item(row)->text();
    }
    return lines;
}

std::vector<QMessageBox*> WindowHarness::notices(const QString& text) const {
    std::vector<QMessageBox*> found;
    for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
        if (box->isVisible() && box->text() == text) {
            found.push_back(box);
        }
    }
    return found;
}

std::unique_ptr<TestClient> WindowHarness::join(const std::string& name) {
    auto client = std::make_unique<TestClient>();
    client->setAutoAnswerPings(true);
    EXPECT_TRUE(client->connectTo(port()));
    net::CNDKMessage hello;
    hello.setId(protocol::kIdJoin);
    hello.appendText(name);
    EXPECT_TRUE(client->send(hello));
    const QString listed = QString::fromStdString(name);
    EXPECT_TRUE(waitUntil([&] { return userLines().contains(listed); }));
    return client;
}

QString WindowHarness::storedValue(const QString& key) const {
    QSettings ini(dir.filePath("settings.ini"), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Settings"));
    return ini.value(key).toString();
}

bool WindowHarness::hasStoredValue(const QString& key) const {
    QSettings ini(dir.filePath("settings.ini"), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Settings"));
    return ini.contains(key);
}

} // namespace tembrel::test

// The main window's side of the controller: view callbacks that redraw the
// controls, and the controls' signals that call the controller.
#include "shell/gui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "shell/ServerApp.h"
#include "shell/gui/AboutBox.h"
#include "shell/gui/GuiResources.h"
#include "shell/gui/GuiTexts.h"
#include "shell/gui/TrayIcon.h"
#include "shell/gui/WebCodeDialog.h"

namespace tembrel::shell {

namespace {

[[nodiscard]] bool trayWanted(MainWindow::TrayMode mode) {
    switch (mode) {
    case MainWindow::TrayMode::Available:
        return true;
    case MainWindow::TrayMode::Unavailable:
        return false;
    case MainWindow::TrayMode::Detect:
        break;
    }
    return TrayIcon::available();
}

} // namespace

MainWindow::MainWindow(const ServerOptions& options, TrayMode trayMode)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      controls_(createMainWindowControls(*this)), tray_(std::make_unique<TrayIcon>(programIcon())),
      hidesOnMinimise_(trayWanted(trayMode)) {
    setWindowTitle(QString::fromUtf8(texts::kProgramTitle));
    app_ = std::make_unique<ServerApp>(options, *this);
    connectControls();
    connectTray();
}

MainWindow::~MainWindow() {
    // The controller may still report while it shuts down; the controls are
    // alive until the QWidget base goes.
    app_.reset();
}

void MainWindow::initMainWindow() {
    // About entry: Qt offers no title-bar menu of its own, so the entry sits in
    // the window's context menu (and F1) as well as in the tray menu.
    QAction& about = tray_->aboutAction();
    about.setShortcut(QKeySequence::HelpContents);
    about.setShortcutContext(Qt::WindowShortcut);
    addAction(&about);
    addAction(&tray_->webCodeAction());
    setContextMenuPolicy(Qt::ActionsContextMenu);

    setWindowIcon(programIcon());
    fieldsChanged();

    if (hidesOnMinimise_) {
        tray_->show();
    } else {
        app_->controller().appendLog(texts::kNoTrayLog);
    }

    // Loads the settings, clears the played marks, updates the buttons and
    // starts the server.
    app_->initialise();

    // The window starts minimised: hidden behind the tray icon where there is
    // one, otherwise in the taskbar, so it can always be reached again.
    if (hidesOnMinimise_) {
        hide();
    } else {
        showMinimized();
    }
}

void MainWindow::connectControls() {
    auto& c = controls_;
    connect(c.startStop, &QPushButton::clicked, this,
            [this] { app_->controller().startStopServer(); });
    connect(c.quit, &QPushButton::clicked, this, &MainWindow::exitMainWindow);
    connect(c.disconnectUser, &QPushButton::clicked, this,
            [this] { app_->controller().disconnectSelectedUser(); });
    connect(c.disconnectAll, &QPushButton::clicked, this,
            [this] { app_->controller().disconnectAllUsers(); });
    connect(c.save, &QPushButton::clicked, this, [this] { app_->saveSettings(); });
    connect(c.close, &QPushButton::clicked, this, &QWidget::showMinimized);

    connect(c.users, &QListWidget::itemSelectionChanged, this, [this] {
        if (refreshing_) {
            return;
        }
        const auto selected = controls_.users->selectedItems();
        app_->controller().selectUserLine(
            selected.isEmpty() ? -1 : controls_.users->row(selected.front()));
    });

    // The fields are the controller's working values: every change goes through.
    connect(c.port, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!refreshing_) {
            app_->controller().setPortText(text.toStdString());
        }
    });
    for (int i = 0; i < MainWindowControls::kLocations; ++i) {
        const auto index = static_cast<std::size_t>(i);
        connect(c.locations[index], &QLineEdit::textChanged, this, [this, i](const QString& text) {
            if (!refreshing_) {
                app_->controller().setLocation(i, text.toStdString());
            }
        });
        connect(c.browse[index], &QPushButton::clicked, this, [this, i] { browseLocation(i); });
    }
}

void MainWindow::connectTray() {
    connect(tray_.get(), &TrayIcon::restoreRequested, this, &MainWindow::restoreWindow);
    connect(tray_.get(), &TrayIcon::aboutRequested, this, &MainWindow::showAboutBox);
    connect(tray_.get(), &TrayIcon::webCodeRequested, this, &MainWindow::showWebCode);
    connect(tray_.get(), &TrayIcon::quitRequested, this, &MainWindow::exitMainWindow);
    connect(tray_.get(), &TrayIcon::spectrumRateChosen, this,
            [this](remote::SpectrumRate rate) { app_->controller().setSpectrumRate(rate); });
}

void MainWindow::browseLocation(int index) {
    QLineEdit* field = controls_.locations[static_cast<std::size_t>(index)];
    // Window-modal but not blocking: the event loop (sockets, timers) runs on.
    auto* picker = new QFileDialog(this, QString::fromUtf8(texts::kBrowseTitle));
    picker->setObjectName(QStringLiteral("folderPicker"));
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setFileMode(QFileDialog::Directory);
    picker->setOption(QFileDialog::ShowDirsOnly);
    if (!field->text().isEmpty() && QDir(field->text()).exists()) {
        picker->setDirectory(field->text());
    }
    connect(picker, &QFileDialog::fileSelected, field, [field](const QString& folder) {
        if (!folder.isEmpty()) {
            field->setText(QDir::toNativeSeparators(folder));
        }
    });
    picker->open();
}

void MainWindow::restoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::showAboutBox() {
    if (aboutBox_) {
        aboutBox_->raise();
        aboutBox_->activateWindow();
        return;
    }
    aboutBox_ = new AboutBox(this);
    aboutBox_->setAttribute(Qt::WA_DeleteOnClose);
    aboutBox_->open();
}

void MainWindow::showWebCode() {
    if (webCodeDialog_) {
        webCodeDialog_->raise();
        webCodeDialog_->activateWindow();
        return;
    }
    const web::WebRemote* remote = app_->webRemote();
    webCodeDialog_ = new WebCodeDialog(remote != nullptr ? remote->guestUrl() : std::nullopt, this);
    webCodeDialog_->setAttribute(Qt::WA_DeleteOnClose);
    webCodeDialog_->open();
}

void MainWindow::exitMainWindow() {
    if (exited_) {
        return;
    }
    exited_ = true;
    app_->exit();
    tray_->hide();
    hide();
    emit exited();
}

void MainWindow::reject() {
    exitMainWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    exitMainWindow();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && hidesOnMinimise_ && isMinimized()) {
        // Hiding inside the state change confuses some window managers; hide
        // once the change has been handled.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                hide();
            }
        });
    }
}

} // namespace tembrel::shell

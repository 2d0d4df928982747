// The main window: the dialog that shows the controller's state (users, log,
// status line, buttons, fields) and forwards the local user's commands to it.
// It also owns the notification-area icon and opens the About box.
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <memory>
#include <string_view>
#include <vector>

#include "remote/ServerView.h"
#include "shell/ServerOptions.h"
#include "shell/gui/MainWindowControls.h"

namespace tembrel::shell {

class AboutBox;
class WebCodeDialog;
class ServerApp;
class TrayIcon;

class MainWindow : public QDialog, public remote::ServerView {
    Q_OBJECT
public:
    // Whether to rely on a notification area. Detect asks the desktop; the
    // others let tests choose.
    enum class TrayMode { Detect, Available, Unavailable };

    // At most this many notices are open at once; further ones go to the log,
    // so a client provoking errors cannot bury the desktop in boxes.
    static constexpr int kMaxOpenNotices = 8;

    explicit MainWindow(const ServerOptions& options, TrayMode trayMode = TrayMode::Detect);
    ~MainWindow() override;

    // Icons, menus, settings, first start of the server, tray icon, then the
    // window minimises itself (and hides where a notification area exists).
    void initMainWindow();

    [[nodiscard]] ServerApp& app() noexcept { return *app_; }
    [[nodiscard]] TrayIcon& trayIcon() noexcept { return *tray_; }
    [[nodiscard]] const MainWindowControls& controls() const noexcept { return controls_; }
    [[nodiscard]] bool hidesOnMinimise() const noexcept { return hidesOnMinimise_; }
    [[nodiscard]] bool hasExited() const noexcept { return exited_; }

    // ServerView.
    void logLineAppended(std::string_view line) override;
    void userListChanged(const std::vector<std::string>& lines, int selectedIndex) override;
    void statusLineChanged(std::string_view text) override;
    void hostingChanged(bool hosting) override;
    void showNotice(std::string_view caption, std::string_view text, NoticeKind kind) override;
    void portIntegerRequired() override;
    void spectrumCheckChanged(int dspCode) override;
    void fieldsChanged() override;

public slots:
    // Every way of quitting ends here: saves the exit settings, removes the
    // tray icon, hides the window and emits exited(). Runs once.
    void exitMainWindow();
    // Shows the window in its normal state in front of the others.
    void restoreWindow();
    void showAboutBox();
    // The QR code of the web remote's address for guests.
    void showWebCode();
    // The window's cancel command (Escape).
    void reject() override;

signals:
    void exited();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectControls();
    void connectTray();
    void browseLocation(int index);
    QMessageBox* openBox(const QString& caption, const QString& text, QMessageBox::Icon icon);

    MainWindowControls controls_;
    std::unique_ptr<TrayIcon> tray_;
    bool hidesOnMinimise_ = false;
    bool exited_ = false;
    // Set while the controller's values are copied into the fields, so the
    // copies are not written back.
    bool refreshing_ = false;
    QPointer<AboutBox> aboutBox_;
    QPointer<WebCodeDialog> webCodeDialog_;
    std::vector<QPointer<QMessageBox>> notices_;
    // Last member: the controller goes before the controls it reports to.
    std::unique_ptr<ServerApp> app_;
};

} // namespace tembrel::shell

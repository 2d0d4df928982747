// The notification-area icon and its menu, the window's visibility, the About
// box and every way of quitting.
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "remote/CServerDlg.h"
#include "shell/ServerApp.h"
#include "shell/SettingsStore.h"
#include "shell/gui/AboutBox.h"
#include "shell/gui/TrayIcon.h"
#include "shell/gui/WebCodeDialog.h"

namespace tembrel::test {
namespace {

using remote::SpectrumRate;
using shell::MainWindow;

[[nodiscard]] std::vector<bool> checks(shell::TrayIcon& tray) {
    return {tray.dspAction(SpectrumRate::Off).isChecked(),
            tray.dspAction(SpectrumRate::Fps15).isChecked(),
            tray.dspAction(SpectrumRate::Fps30).isChecked(),
            tray.dspAction(SpectrumRate::Fps60).isChecked()};
}

TEST(WindowTray, MenuOffersOptionsDspWebCodeAboutAndQuit) {
    WindowHarness h;
    h.open();
    QStringList texts;
    QMenu* dsp = nullptr;
    for (QAction* action : h.window().trayIcon().menu().actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
        if (action->menu() != nullptr) {
            dsp = action->menu();
        }
    }
    EXPECT_EQ(texts, (QStringList{"Options", "DSP", "Web Remote QR Code...",
                                  "&About Tembrel Quenmark...", "Quit"}));
    ASSERT_NE(dsp, nullptr);
    QStringList rates;
    for (QAction* action : dsp->actions()) {
        rates << action->text();
        EXPECT_TRUE(action->isCheckable());
    }
    EXPECT_EQ(rates, (QStringList{"Off", "15fps", "30fps", "60fps"}));
}

TEST(WindowTray, WebCodeEntryShowsTheWebRemotesAddressAndItsCode) {
    WindowHarness h;
    h.open();
    const web::WebRemote* remote = h.window().app().webRemote();
    ASSERT_NE(remote, nullptr);
    const auto url = remote->guestUrl();
    ASSERT_TRUE(url);
    h.window().trayIcon().webCodeAction().trigger();
    auto* dialog = h.window().findChild<shell::WebCodeDialog*>();
    ASSERT_NE(dialog, nullptr);
    QStringList texts;
    bool hasCode = false;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        texts << label->text();
        hasCode = hasCode || !label->pixmap().isNull();
    }
    EXPECT_TRUE(texts.contains(QString::fromStdString(*url))) << texts.join('|').toStdString();
    EXPECT_TRUE(hasCode);
}

TEST(WindowTray, DspEntriesSetTheRateAndMoveTheCheckMark) {
    WindowHarness h;
    h.open();
    shell::TrayIcon& tray = h.window().trayIcon();
    // First run: no entry is checked.
    EXPECT_EQ(checks(tray), (std::vector<bool>{false, false, false, false}));

    tray.dspAction(SpectrumRate::Fps30).trigger();
    EXPECT_EQ(h.controller().spectrumState().spectrumFps, 30);
    EXPECT_EQ(h.controller().spectrumState().spectrumPeriodMs, 33);
    EXPECT_EQ(checks(tray), (std::vector<bool>{false, false, true, false}));

    // Choosing the active entry again keeps it checked.
    tray.dspAction(SpectrumRate::Fps30).trigger();
    EXPECT_EQ(checks(tray), (std::vector<bool>{false, false, true, false}));

    tray.dspAction(SpectrumRate::Off).trigger();
    EXPECT_EQ(h.controller().spectrumState().spectrumOn, 0);
    EXPECT_EQ(h.controller().spectrumState().spectrumPeriodMs, 33);
    EXPECT_EQ(checks(tray), (std::vector<bool>{true, false, false, false}));
}

TEST(WindowTray, StoredRateIsCheckedAtStartUp) {
    WindowHarness h;
    {
        shell::SettingsStore store(h.options.settingsFile);
        store.savePlayback(128, 4);
    }
    h.open();
    EXPECT_EQ(checks(h.window().trayIcon()), (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(h.controller().spectrumState().spectrumFps, 60);
}

TEST(WindowTray, StartsHiddenAndHidesAgainWhenMinimised) {
    WindowHarness h;
    MainWindow& w = h.open(MainWindow::TrayMode::Available);
    EXPECT_FALSE(w.isVisible());

    h.window().trayIcon().optionsAction().trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());

    h.controls().close->click();
    ASSERT_TRUE(waitUntil([&] { return !w.isVisible(); }));
    EXPECT_TRUE(h.controller().isHosting());

    // Only a double click restores; a single click does nothing.
    h.window().trayIcon().handleActivation(QSystemTrayIcon::Trigger);
    pumpEvents(20);
    EXPECT_FALSE(w.isVisible());
    h.window().trayIcon().handleActivation(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
}

TEST(WindowTray, WithoutANotificationAreaTheWindowStaysReachable) {
    WindowHarness h;
    MainWindow& w = h.open(MainWindow::TrayMode::Unavailable);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
    EXPECT_EQ(
        h.logLines().count("No notification area: the window stays in the taskbar when minimised."),
        1);

    w.restoreWindow();
    h.controls().close->click();
    pumpEvents(50);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
}

TEST(WindowTray, AboutBoxShowsIconVersionAndClosesWithOk) {
    WindowHarness h;
    h.open();
    // The entry is in the window's own context menu too.
    EXPECT_TRUE(h.window().actions().contains(&h.window().trayIcon().aboutAction()));
    EXPECT_EQ(h.window().contextMenuPolicy(), Qt::ActionsContextMenu);

    h.window().trayIcon().aboutAction().trigger();
    auto* about = h.window().findChild<shell::AboutBox*>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Tembrel Server"));
    EXPECT_EQ(about->findChild<QLabel*>("aboutVersion")->text(),
              QStringLiteral("Tembrel Server Version 0.9b"));
    EXPECT_FALSE(about->findChild<QLabel*>("aboutIcon")->pixmap().isNull());

    // A second request brings the open box forward instead of opening another.
    h.window().showAboutBox();
    EXPECT_EQ(h.window().findChildren<shell::AboutBox*>().size(), 1);

    auto* ok = about->findChild<QPushButton*>("aboutOk");
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    ok->click();
    EXPECT_TRUE(waitUntil([&] { return h.window().findChild<shell::AboutBox*>() == nullptr; }));
    EXPECT_FALSE(h.window().hasExited());
}

enum class QuitBy { Button, TrayMenu, Escape, WindowClose };

class WindowQuit : public ::testing::TestWithParam<QuitBy> {};

TEST_P(WindowQuit, StoresTheExitSettingsOnceAndEnds) {
    WindowHarness h;
    MainWindow& w = h.open();
    w.restoreWindow();
    h.window().trayIcon().dspAction(SpectrumRate::Fps15).trigger();

    switch (GetParam()) {
    case QuitBy::Button:
        h.controls().quit->click();
        break;
    case QuitBy::TrayMenu:
        w.trayIcon().quitAction().trigger();
        break;
    case QuitBy::Escape: {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &escape);
        break;
    }
    case QuitBy::WindowClose:
        w.close();
        break;
    }
    EXPECT_EQ(h.exitedCount, 1);
    EXPECT_TRUE(w.hasExited());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.trayIcon().isShown());
    EXPECT_EQ(h.storedValue("DSP").toInt(), 2);
    EXPECT_EQ(h.storedValue("Volume").toInt(), 128);
    EXPECT_EQ(h.storedValue("Settings2Saved"), QStringLiteral("SettingsSaved"));
    // The connection group is stored by the save button only.
    EXPECT_FALSE(h.hasStoredValue("ServerPort"));
    EXPECT_FALSE(h.hasStoredValue("SettingsSaved"));

    // A second request to quit runs nothing again.
    w.exitMainWindow();
    EXPECT_EQ(h.exitedCount, 1);
}

INSTANTIATE_TEST_SUITE_P(AllWays, WindowQuit,
                         ::testing::Values(QuitBy::Button, QuitBy::TrayMenu, QuitBy::Escape,
                                           QuitBy::WindowClose));

} // namespace
} // namespace tembrel::test

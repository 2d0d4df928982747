// Takes the README screenshots of the window and the About box when
// TEMBREL_SCREENSHOT_DIR names a folder (scripts/screenshots runs it under
// Xvfb); skipped otherwise.
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTcpServer>

#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "remote/CServerDlg.h"
#include "shell/gui/AboutBox.h"

namespace tembrel::test {
namespace {

constexpr int kDemoPort = 6000;

[[nodiscard]] bool portFree(int port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::Any, static_cast<quint16>(port));
}

TEST(Screenshots, WindowAndAboutBox) {
    const QString target = qEnvironmentVariable("TEMBREL_SCREENSHOT_DIR");
    if (target.isEmpty()) {
        GTEST_SKIP() << "TEMBREL_SCREENSHOT_DIR not set";
    }
    ASSERT_TRUE(QDir().mkpath(target));

    WindowHarness h;
    h.options.port = portFree(kDemoPort) ? kDemoPort : 0;
    h.options.spectrum = remote::SpectrumRate::Fps15;
    shell::MainWindow& w = h.open(shell::MainWindow::TrayMode::Available);
    auto amy = h.join("Amy");
    auto dj = h.join("DJ Kofi");
    auto lounge = h.join("lounge-pc");
    const auto& c = h.controls();
    c.locations[0]->setText(QStringLiteral("/home/dj/Music"));
    c.locations[1]->setText(QStringLiteral("/mnt/archive/Albums"));
    c.locations[2]->setText(QStringLiteral("/media/usb/Live"));
    w.restoreWindow();
    ASSERT_TRUE(waitUntil([&] { return !c.statusLine->text().isEmpty(); }));
    pumpEvents(200);

    const QPixmap window = w.grab();
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window.save(QDir(target).filePath(QStringLiteral("screenshot-window.png"))));

    w.showAboutBox();
    auto* about = w.findChild<shell::AboutBox*>();
    ASSERT_NE(about, nullptr);
    pumpEvents(200);
    const QPixmap box = about->grab();
    ASSERT_FALSE(box.isNull());
    EXPECT_TRUE(box.save(QDir(target).filePath(QStringLiteral("screenshot-about.png"))));
}

} // namespace
} // namespace tembrel::test

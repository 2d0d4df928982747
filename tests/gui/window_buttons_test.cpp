// The server buttons of the main window: start/stop, disconnect one user,
// disconnect all, and the notices the start sequence raises.
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>

#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "remote/CServerDlg.h"

namespace tembrel::test {
namespace {

TEST(WindowButtons, StartStopTogglesHostingCaptionAndDisconnectButtons) {
    WindowHarness h;
    h.open();
    const auto& c = h.controls();
    ASSERT_TRUE(h.controller().isHosting());
    EXPECT_EQ(c.startStop->text(), QStringLiteral("&Stop"));
    EXPECT_TRUE(c.disconnectUser->isEnabled());
    EXPECT_TRUE(c.disconnectAll->isEnabled());
    EXPECT_TRUE(h.logLines().contains(QStringLiteral("* The server is started. *")));

    c.startStop->click();
    EXPECT_FALSE(h.controller().isHosting());
    EXPECT_EQ(c.startStop->text(), QStringLiteral("&Start"));
    EXPECT_FALSE(c.disconnectUser->isEnabled());
    EXPECT_FALSE(c.disconnectAll->isEnabled());
    EXPECT_EQ(h.logLines().back(), QStringLiteral("* The server is stopped. *"));

    c.startStop->click();
    EXPECT_TRUE(h.controller().isHosting());
    EXPECT_EQ(c.startStop->text(), QStringLiteral("&Stop"));
    EXPECT_TRUE(c.disconnectAll->isEnabled());
}

TEST(WindowButtons, UserListShowsJoinedUsersSorted) {
    WindowHarness h;
    h.open();
    auto zed = h.join("zed");
    auto amy = h.join("Amy");
    EXPECT_EQ(h.userLines(), (QStringList{QStringLiteral("Amy"), QStringLiteral("zed")}));

    zed->close();
    ASSERT_TRUE(waitUntil([&] { return h.userLines().size() == 1; }));
    EXPECT_EQ(h.userLines(), QStringList{QStringLiteral("Amy")});
}

TEST(WindowButtons, DisconnectUserDropsTheSelectedUserOnly) {
    WindowHarness h;
    h.open();
    auto alice = h.join("alice");
    auto bob = h.join("bob");
    QListWidget* users = h.controls().users;
    ASSERT_EQ(users->count(), 2);
    // The newest user's line is the selected one.
    ASSERT_EQ(users->currentRow(), 1);
    EXPECT_TRUE(users->item(1)->isSelected());

    // The local user picks the other line.
    users->setCurrentRow(0);
    ASSERT_EQ(users->item(0)->text(), QStringLiteral("alice"));
    h.controls().disconnectUser->click();
    EXPECT_TRUE(alice->waitForClose());
    ASSERT_TRUE(waitUntil([&] { return users->count() == 1; }));
    EXPECT_EQ(h.userLines(), QStringList{QStringLiteral("bob")});
    EXPECT_TRUE(bob->isConnected());
}

TEST(WindowButtons, DisconnectAllDropsEveryUserAndEmptiesTheList) {
    WindowHarness h;
    h.open();
    auto alice = h.join("alice");
    auto bob = h.join("bob");
    h.controls().disconnectAll->click();
    EXPECT_TRUE(alice->waitForClose());
    EXPECT_TRUE(bob->waitForClose());
    EXPECT_EQ(h.controls().users->count(), 0);
    EXPECT_TRUE(h.controller().isHosting());
}

TEST(WindowButtons, FailedListenShowsANonModalErrorAndKeepsStart) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::Any));
    WindowHarness h;
    h.options.port = squatter.serverPort();
    h.open();

    const auto boxes = h.notices(QStringLiteral("Cannot start the server."));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes.front()->isModal());
    EXPECT_EQ(boxes.front()->icon(), QMessageBox::Critical);
    EXPECT_FALSE(h.controller().isHosting());
    EXPECT_EQ(h.controls().startStop->text(), QStringLiteral("&Start"));
    EXPECT_FALSE(h.controls().disconnectAll->isEnabled());
}

TEST(WindowButtons, NoticesBeyondTheOpenLimitGoToTheLog) {
    WindowHarness h;
    h.open();
    constexpr int kLimit = shell::MainWindow::kMaxOpenNotices;
    for (int i = 0; i <= kLimit; ++i) {
        h.window().showNotice("Loading a song", "File not found " + std::to_string(i),
                              remote::ServerView::NoticeKind::Error);
    }
    for (int i = 0; i < kLimit; ++i) {
        EXPECT_EQ(h.notices(QStringLiteral("File not found %1").arg(i)).size(), 1u);
    }
    const QString last = QStringLiteral("File not found %1").arg(kLimit);
    EXPECT_TRUE(h.notices(last).empty());
    EXPECT_EQ(h.logLines().back(), last);

    // Closing one makes room for the next.
    h.notices(QStringLiteral("File not found 0")).front()->close();
    ASSERT_TRUE(waitUntil([&] { return h.notices(QStringLiteral("File not found 0")).empty(); }));
    h.window().showNotice("Loading a song", "again", remote::ServerView::NoticeKind::Error);
    EXPECT_EQ(h.notices(QStringLiteral("again")).size(), 1u);
}

TEST(WindowButtons, StatusLineShowsTheSpectrumStepsCpuUsage) {
    WindowHarness h;
    h.options.spectrum = remote::SpectrumRate::Fps60;
    h.open();
    EXPECT_TRUE(waitUntil(
        [&] { return h.controls().statusLine->text().startsWith(QStringLiteral("CPU Usage: ")); }));
}

} // namespace
} // namespace tembrel::test

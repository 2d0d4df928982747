// The main window's fields and their buttons: port and Locations written
// through to the controller, the integer prompt, the folder picker, the save
// button, the log and the tab order.
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "remote/CServerDlg.h"

namespace tembrel::test {
namespace {

TEST(WindowFields, ShowsTheWorkingValuesAndWritesEditsThrough) {
    WindowHarness h;
    h.options.locations = {"/music/a", "", "/music/c"};
    h.open();
    const auto& c = h.controls();
    EXPECT_EQ(c.port->text(), QStringLiteral("0"));
    EXPECT_EQ(c.locations[0]->text(), QStringLiteral("/music/a"));
    EXPECT_EQ(c.locations[2]->text(), QStringLiteral("/music/c"));

    c.port->setText(QStringLiteral("6100"));
    c.locations[4]->setText(QStringLiteral("/music/e"));
    EXPECT_EQ(h.controller().portText(), "6100");
    EXPECT_EQ(h.controller().locations()[4], "/music/e");
}

TEST(WindowFields, PortThatIsNotAnIntegerPromptsAndFocusesThePortField) {
    WindowHarness h;
    h.open();
    h.window().restoreWindow();
    const auto& c = h.controls();
    c.port->setText(QStringLiteral("60a0"));
    c.quit->setFocus();

    c.startStop->click();
    const auto boxes = h.notices(QStringLiteral("Please enter an integer."));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes.front()->isModal());
    EXPECT_EQ(h.window().focusWidget(), c.port);
    // Nothing else happened: the server is still running.
    EXPECT_TRUE(h.controller().isHosting());
    EXPECT_EQ(c.startStop->text(), QStringLiteral("&Stop"));
}

TEST(WindowFields, SaveButtonStoresPortAndLocationsAndSaysSo) {
    WindowHarness h;
    h.open();
    const auto& c = h.controls();
    EXPECT_FALSE(c.save->icon().isNull());
    c.port->setText(QStringLiteral("6123"));
    c.locations[1]->setText(QStringLiteral("/srv/music"));

    c.save->click();
    EXPECT_EQ(h.storedValue(QStringLiteral("ServerPort")), QStringLiteral("6123"));
    EXPECT_EQ(h.storedValue(QStringLiteral("Location2")), QStringLiteral("/srv/music"));
    EXPECT_EQ(h.storedValue(QStringLiteral("SettingsSaved")), QStringLiteral("SettingsSaved"));
    const auto boxes = h.notices(QStringLiteral("Settings Saved"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes.front()->isModal());
    EXPECT_EQ(boxes.front()->windowTitle(), QStringLiteral("Tembrel Server"));
}

TEST(WindowFields, BrowseOpensAFolderPickerWithoutBlockingAndFillsTheLocation) {
    WindowHarness h;
    h.open();
    const auto& c = h.controls();
    const QString folder = h.dir.filePath(QStringLiteral("Albums"));
    ASSERT_TRUE(QDir().mkpath(folder));

    // Cancelled: the Location stays as it was.
    c.browse[2]->click();
    auto* picker = h.window().findChild<QFileDialog*>(QStringLiteral("folderPicker"));
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("Choose Folder for Default"));
    picker->reject();
    EXPECT_TRUE(c.locations[2]->text().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return h.window().findChild<QFileDialog*>() == nullptr; }));

    c.browse[2]->click();
    picker = h.window().findChild<QFileDialog*>(QStringLiteral("folderPicker"));
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->testOption(QFileDialog::ShowDirsOnly));
    picker->setDirectory(h.dir.path());
    picker->selectFile(folder);
    static_cast<QDialog*>(picker)->accept(); // QFileDialog hides accept()
    EXPECT_EQ(QDir(c.locations[2]->text()), QDir(folder));
    EXPECT_EQ(QDir(QString::fromStdString(h.controller().locations()[2])), QDir(folder));
    EXPECT_TRUE(c.locations[1]->text().isEmpty());
    EXPECT_TRUE(c.locations[3]->text().isEmpty());
}

TEST(WindowFields, LogAppendsAtTheEndAndScrollsThere) {
    WindowHarness h;
    h.open();
    for (int i = 0; i < 100; ++i) {
        h.controller().appendLog("line " + std::to_string(i));
    }
    h.controller().logEvent("framed");
    const QStringList lines = h.logLines();
    EXPECT_EQ(lines.back(), QStringLiteral("* framed *"));
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("line 99"));
    QScrollBar* bar = h.controls().log->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(h.controls().log->isReadOnly());
}

TEST(WindowFields, ControlsHaveTheirCaptionsAndTabOrder) {
    WindowHarness h;
    h.open();
    const auto& c = h.controls();
    EXPECT_EQ(h.window().windowTitle(), QStringLiteral("Tembrel Server"));
    EXPECT_EQ(c.quit->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(c.portLabel->text(), QStringLiteral("Por&t:"));
    EXPECT_EQ(c.portLabel->buddy(), c.port);
    EXPECT_EQ(c.disconnectUser->text(), QStringLiteral("&Disconnect User"));
    EXPECT_EQ(c.disconnectAll->text(), QStringLiteral("Disconnect &All"));
    EXPECT_EQ(c.mediaPaths->title(), QStringLiteral("Media Paths"));
    EXPECT_EQ(c.close->text(), QStringLiteral("Close"));
    for (const QPushButton* browse : c.browse) {
        EXPECT_EQ(browse->text(), QStringLiteral("Browse..."));
    }
    EXPECT_TRUE(c.startStop->isDefault());

    const std::vector<QWidget*> expected = {
        c.startStop,     c.quit,         c.port,         c.users,        c.disconnectUser,
        c.disconnectAll, c.log,          c.statusLine,   c.locations[0], c.save,
        c.browse[0],     c.locations[1], c.locations[2], c.locations[3], c.locations[4],
        c.browse[1],     c.browse[2],    c.browse[3],    c.browse[4],    c.close};
    std::vector<QWidget*> chain;
    QWidget* widget = c.startStop;
    do {
        if (std::find(expected.begin(), expected.end(), widget) != expected.end()) {
            chain.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != c.startStop && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);
}

TEST(WindowFields, MediaPathsFrameLiesBeneathTheFieldsItFrames) {
    WindowHarness h;
    h.open();
    const auto& c = h.controls();
    for (QLineEdit* field : c.locations) {
        const QPoint centre = field->geometry().center();
        EXPECT_EQ(h.window().childAt(centre)->objectName(), field->objectName());
        EXPECT_TRUE(c.mediaPaths->geometry().contains(field->geometry()));
    }
}

TEST(WindowFields, ResizingGivesTheRoomToTheLogAndMaximiseWorks) {
    using shell::MainWindow;
    WindowHarness h;
    MainWindow& w = h.open();
    w.restoreWindow();
    const auto& c = h.controls();
    const QSize smallest = w.minimumSize();
    EXPECT_FALSE(w.minimumSize() == w.maximumSize());
    const QRect log = c.log->geometry();
    const QRect status = c.statusLine->geometry();
    const QRect location = c.locations[0]->geometry();

    w.resize(smallest + QSize(200, 150));
    pumpEvents(20);
    EXPECT_EQ(c.log->size(), log.size() + QSize(200, 150));
    EXPECT_EQ(c.statusLine->y(), status.y() + 150);
    EXPECT_EQ(c.statusLine->width(), status.width() + 200);
    EXPECT_EQ(c.locations[0]->width(), location.width() + 200);
    EXPECT_TRUE(c.mediaPaths->geometry().contains(c.browse[0]->geometry()));
    // The status line stays inside the window, below the log.
    EXPECT_LE(c.statusLine->geometry().bottom(), w.height());
    EXPECT_GT(c.statusLine->y(), c.log->geometry().bottom());

    // Never smaller than the layout.
    w.resize(smallest - QSize(50, 50));
    pumpEvents(20);
    EXPECT_EQ(w.size(), smallest);
    EXPECT_EQ(c.log->geometry(), log);

    w.showMaximized();
    ASSERT_TRUE(waitUntil([&] { return w.isMaximized() && w.height() > smallest.height(); }));
    pumpEvents(20);
    EXPECT_GT(c.log->height(), log.height());
    EXPECT_LE(c.statusLine->geometry().bottom(), w.height());
}

} // namespace
} // namespace tembrel::test

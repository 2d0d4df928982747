// Builds the main window's controls. Qt's tab order follows creation order,
// so they are created in the window's tab order; positions are dialog units.
#include "shell/gui/MainWindowControls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "shell/gui/DialogUnits.h"
#include "shell/gui/GuiResources.h"
#include "shell/gui/GuiTexts.h"

namespace tembrel::shell {

namespace {

// The server log keeps this many lines; older ones scroll away for good, so
// a server that runs for months does not grow without bound.
constexpr int kMaxLogLines = 10000;
// Dialog-unit rows of the five Location fields, and their columns.
constexpr std::array<int, MainWindowControls::kLocations> kLocationRows = {66, 80, 94, 108, 122};
constexpr int kLocationLeft = 14;
constexpr int kLocationWidth = 142;
constexpr int kBrowseLeft = 161;
constexpr int kBrowseWidth = 36;
constexpr int kLocationHeight = 12;
constexpr int kWindowWidth = 207;
constexpr int kWindowHeight = 227;
constexpr int kFloppyPixels = 16;

template <typename Widget, typename... Args>
Widget* place(QWidget& window, const DialogUnits& units, const char* name, QRect dialogRect,
              Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., &window);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(
        units.rect(dialogRect.x(), dialogRect.y(), dialogRect.width(), dialogRect.height()));
    return widget;
}

[[nodiscard]] QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

MainWindowControls createMainWindowControls(QWidget& window) {
    const DialogUnits units(window.font());
    MainWindowControls c;

    c.startStop = place<QPushButton>(window, units, "startStopButton", {135, 7, 65, 14},
                                     text(texts::kStartServer));
    c.startStop->setDefault(true);
    c.quit = place<QPushButton>(window, units, "quitButton", {135, 39, 47, 14}, text(texts::kQuit));
    c.portLabel =
        place<QLabel>(window, units, "portLabel", {73, 39, 17, 14}, text(texts::kPortLabel));
    c.portLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    c.port = place<QLineEdit>(window, units, "portEdit", {92, 39, 40, 14});
    c.portLabel->setBuddy(c.port);

    c.users = place<QListWidget>(window, units, "userList", {7, 7, 58, 44});
    c.users->setSelectionMode(QAbstractItemView::SingleSelection);
    c.disconnectUser = place<QPushButton>(window, units, "disconnectUserButton", {67, 7, 65, 14},
                                          text(texts::kDisconnectUser));
    c.disconnectAll = place<QPushButton>(window, units, "disconnectAllButton", {67, 23, 65, 14},
                                         text(texts::kDisconnectAll));

    c.log = place<QPlainTextEdit>(window, units, "serverLog", {10, 145, 189, 59});
    c.log->setReadOnly(true);
    c.log->setMaximumBlockCount(kMaxLogLines);
    c.log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.statusLine = place<QLineEdit>(window, units, "statusLine", {9, 206, 189, 14});
    c.statusLine->setReadOnly(true);

    const auto location = [&](int i) {
        const std::string name = "location" + std::to_string(i + 1) + "Edit";
        c.locations[static_cast<std::size_t>(i)] =
            place<QLineEdit>(window, units, name.c_str(),
                             {kLocationLeft, kLocationRows[static_cast<std::size_t>(i)],
                              kLocationWidth, kLocationHeight});
    };
    const auto browse = [&](int i) {
        const std::string name = "browse" + std::to_string(i + 1) + "Button";
        c.browse[static_cast<std::size_t>(i)] =
            place<QPushButton>(window, units, name.c_str(),
                               {kBrowseLeft, kLocationRows[static_cast<std::size_t>(i)],
                                kBrowseWidth, kLocationHeight},
                               text(texts::kBrowse));
    };

    location(0);
    c.save = place<QPushButton>(window, units, "saveButton", {186, 39, 14, 14});
    c.save->setIcon(QIcon(floppyPixmap()));
    c.save->setIconSize({kFloppyPixels, kFloppyPixels});
    c.save->setToolTip(text(texts::kSaveToolTip));
    browse(0);
    c.mediaPaths = place<QGroupBox>(window, units, "mediaPathsGroup", {8, 55, 193, 86},
                                    text(texts::kMediaPaths));
    // The frame is created after the first Location (tab order) but must lie
    // beneath every field it frames, or it would take their mouse clicks.
    c.mediaPaths->lower();
    for (int i = 1; i < MainWindowControls::kLocations; ++i) {
        location(i);
    }
    for (int i = 1; i < MainWindowControls::kLocations; ++i) {
        browse(i);
    }
    c.close =
        place<QPushButton>(window, units, "closeButton", {135, 23, 65, 14}, text(texts::kClose));

    window.setFixedSize(units.size(kWindowWidth, kWindowHeight));
    return c;
}

} // namespace tembrel::shell

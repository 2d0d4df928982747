// Builds the main window's controls. Qt's tab order follows creation order,
// so they are created in the window's tab order; positions are dialog units.
#include "shell/gui/MainWindowControls.h"

#include <algorithm>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>

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
// The log and the status line, at the window's smallest size.
constexpr QRect kLogRect{10, 145, 189, 59};
constexpr QRect kStatusRect{9, 206, 189, 14};
constexpr QRect kMediaPathsRect{8, 55, 193, 86};

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

    c.log = place<QPlainTextEdit>(window, units, "serverLog", kLogRect);
    c.log->setReadOnly(true);
    c.log->setMaximumBlockCount(kMaxLogLines);
    c.log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.statusLine = place<QLineEdit>(window, units, "statusLine", kStatusRect);
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
    c.mediaPaths = place<QGroupBox>(window, units, "mediaPathsGroup", kMediaPathsRect,
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

    // The layout's size is the smallest; a larger window gives the room to
    // the log (both ways) and to the Media Paths fields (in width).
    const QSize smallest = units.size(kWindowWidth, kWindowHeight);
    window.setMinimumSize(smallest);
    window.resize(smallest);
    return c;
}

void fitMainWindowControls(const MainWindowControls& c, const QWidget& window) {
    const DialogUnits units(window.font());
    const QSize smallest = units.size(kWindowWidth, kWindowHeight);
    const int dx = std::max(0, window.width() - smallest.width());
    const int dy = std::max(0, window.height() - smallest.height());
    const auto grown = [&](QRect dialogRect, int wider, int taller, int down) {
        const QRect r =
            units.rect(dialogRect.x(), dialogRect.y(), dialogRect.width(), dialogRect.height());
        return QRect(r.x(), r.y() + down, r.width() + wider, r.height() + taller);
    };
    c.log->setGeometry(grown(kLogRect, dx, dy, 0));
    c.statusLine->setGeometry(grown(kStatusRect, dx, 0, dy));
    c.mediaPaths->setGeometry(grown(kMediaPathsRect, dx, 0, 0));
    for (std::size_t i = 0; i < c.locations.size(); ++i) {
        const int row = kLocationRows[i];
        c.locations[i]->setGeometry(
            grown({kLocationLeft, row, kLocationWidth, kLocationHeight}, dx, 0, 0));
        c.browse[i]->setGeometry(
            units.rect(kBrowseLeft, row, kBrowseWidth, kLocationHeight).translated(dx, 0));
    }
}

} // namespace tembrel::shell

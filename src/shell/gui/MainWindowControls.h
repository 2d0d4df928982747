// The controls of the main window: created in tab order at their dialog-unit
// places, held as non-owning pointers (the window owns them as Qt children).
#pragma once

#include <array>

#include "library/CMediaLibrary.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tembrel::shell {

struct MainWindowControls {
    static constexpr int kLocations = library::CMediaLibrary::kLocationCount;

    QPushButton* startStop = nullptr;
    QPushButton* quit = nullptr;
    QLabel* portLabel = nullptr;
    QLineEdit* port = nullptr;
    QListWidget* users = nullptr;
    QPushButton* disconnectUser = nullptr;
    QPushButton* disconnectAll = nullptr;
    QPlainTextEdit* log = nullptr;
    QLineEdit* statusLine = nullptr;
    QPushButton* save = nullptr;
    QGroupBox* mediaPaths = nullptr;
    QPushButton* close = nullptr;
    std::array<QLineEdit*, kLocations> locations{};
    std::array<QPushButton*, kLocations> browse{};
};

// Creates every control as a child of `window` and gives the window its
// smallest size.
[[nodiscard]] MainWindowControls createMainWindowControls(QWidget& window);
// Places the controls for the window's current size: the log takes the extra
// height and width, the status line stays under it, the Media Paths widen.
void fitMainWindowControls(const MainWindowControls& controls, const QWidget& window);

} // namespace tembrel::shell

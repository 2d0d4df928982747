// The pictures compiled into the program: the program icon and the floppy disk
// of the save button, and the dialog colours every window of the program uses.
#pragma once

class QApplication;
class QIcon;
class QPixmap;

namespace tembrel::shell {

[[nodiscard]] QIcon programIcon();
[[nodiscard]] QPixmap floppyPixmap();

// Background RGB(198, 198, 198) and text RGB(66, 66, 66) for all dialogs and
// message boxes of the application.
void applyDialogColours(QApplication& app);

} // namespace tembrel::shell

// Loads the program's pictures from the Qt resources of the shell library and
// sets the application's dialog colours.
#include "shell/gui/GuiResources.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

// The resources live in a static library; nothing else refers to them, so
// their registration must be pulled in by name, from the global namespace.
static void registerShellResources() {
    Q_INIT_RESOURCE(resources);
}

static void ensureResources() {
    static const bool registered = [] {
        registerShellResources();
        return true;
    }();
    (void)registered;
}

namespace tembrel::shell {

QIcon programIcon() {
    ensureResources();
    return QIcon(QStringLiteral(":/icons/tembrel.png"));
}

QPixmap floppyPixmap() {
    ensureResources();
    return QPixmap(QStringLiteral(":/icons/floppy.png"));
}

void applyDialogColours(QApplication& app) {
    static constexpr int kBackground = 198;
    static constexpr int kText = 66;
    const QColor background(kBackground, kBackground, kBackground);
    const QColor text(kText, kText, kText);
    QPalette palette = QApplication::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::Button, background);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, text);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, background);
    palette.setColor(QPalette::Disabled, QPalette::Button, background);
    app.setPalette(palette);
}

} // namespace tembrel::shell

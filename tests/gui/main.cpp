// Entry point of the window tests: one QApplication for the whole run, on the
// offscreen platform unless a display was asked for (the screenshot run).
#include <QApplication>

#include <gtest/gtest.h>

#include "shell/gui/GuiResources.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) {
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    tembrel::shell::applyDialogColours(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

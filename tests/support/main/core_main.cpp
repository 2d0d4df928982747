// Test entry point: one QCoreApplication for the whole run, so tests can use
// Qt's event loop, timers and sockets.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

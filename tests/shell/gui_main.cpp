// Test entry for the window tests: the web engine's start switches, then an
// application object, then the tests.

#include "platform/web_pane.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The window tests never need a display (listing the tests neither).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vantoli::prepareWebEngineStart();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

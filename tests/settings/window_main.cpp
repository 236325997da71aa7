// Test entry for the tests with the main window: the web engine's start
// switches, then an application object, offscreen unless a platform is given.
#include "platform/web_pane.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vantoli::prepareWebEngineStart();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

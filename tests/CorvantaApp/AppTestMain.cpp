// The main of the application tests: a private home and XDG folders per test process (so tests
// run in parallel and never touch the user's own settings), no inherited buses or display, and
// a QGuiApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QGuiApplication>
#include <QtPlugin>

#include "AppTestEnvironment.h"
#include "TestSupport.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const corvanta::testing::TempDir root;
    corvanta::testing::useHeadlessEnvironment(root.path());
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

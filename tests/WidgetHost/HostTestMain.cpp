// Runs the host's tests headless: offscreen windows, software rendering, a private runtime
// folder, and no session bus or display of the machine.
#include <QApplication>

#include "HostTestSupport.h"

int main(int argc, char** argv) {
    const corvanta::testing::HeadlessSession session;
    QApplication app(argc, argv);
    qInstallMessageHandler(corvanta::testing::recordMessage);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

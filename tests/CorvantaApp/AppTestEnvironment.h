#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <filesystem>
#include <functional>

namespace corvanta::testing {

// Points HOME and the XDG folders under `root`, makes a 0700 runtime folder, forgets any
// inherited bus or display and selects Qt's offscreen platform.
void useHeadlessEnvironment(const std::filesystem::path& root);

// Runs the event loop until `done` holds or `milliseconds` pass; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return done();
}

// Runs the event loop for `milliseconds`, so that anything due happens.
inline void settle(int milliseconds = 100) {
    QTest::qWait(milliseconds);
}

}  // namespace corvanta::testing

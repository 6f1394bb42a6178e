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

// Runs the event loop until `done` holds or `milliseconds` pass; returns `done()`. The default is
// generous: it only bounds how long a fault takes to fail, and a loaded two-core machine may need
// seconds for what an idle one does at once.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 30'000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return done();
}

// Runs the event loop until `count` has stayed the same for `quietMs`, for at most `milliseconds`;
// true once it has. What was stopped comes to rest however late the work already under way (a
// frame being drawn, say) arrives on a loaded machine; what never stops fails.
inline bool comesToRest(const std::function<int()>& count, int quietMs = 300,
                        int milliseconds = 30'000) {
    const QDeadlineTimer deadline(milliseconds);
    int last = count();
    QDeadlineTimer quiet(quietMs);
    while (!deadline.hasExpired()) {
        QTest::qWait(10);
        if (const int now = count(); now != last) {
            last = now;
            quiet.setRemainingTime(quietMs);
        } else if (quiet.hasExpired()) {
            return true;
        }
    }
    return false;
}

// Runs the event loop for `milliseconds`, so that anything due happens.
inline void settle(int milliseconds = 100) {
    QTest::qWait(milliseconds);
}

}  // namespace corvanta::testing

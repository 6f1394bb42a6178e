#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace corvanta {

// A task that repeats for the life of its parent: a pass, then a pause of `interval` counted from
// the end of that pass, so passes never overlap however long one takes. A pass may finish later,
// from a result that comes back to the GUI thread: it calls `done` when it has ended.
class PeriodicTask : public QObject {
    Q_OBJECT

  public:
    using Done = std::function<void()>;
    using Pass = std::function<void(Done done)>;

    PeriodicTask(std::chrono::milliseconds interval, Pass pass, QObject* parent);

    // The first pass runs from the event loop, as soon as it turns.
    void start();
    // No further pass starts; one in flight ends without a successor.
    void stop();
    bool isRunning() const { return running_; }

  private:
    void runPass();

    QTimer timer_;
    Pass pass_;
    std::chrono::milliseconds interval_;
    bool running_ = false;
    // Each pass's generation, so a `done` of a pass from before a stop() schedules nothing.
    unsigned generation_ = 0;
};

}  // namespace corvanta

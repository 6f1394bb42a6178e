#include "Session/PeriodicTask.h"

#include <QPointer>

namespace corvanta {

PeriodicTask::PeriodicTask(std::chrono::milliseconds interval, Pass pass, QObject* parent)
    : QObject(parent), timer_(this), pass_(std::move(pass)), interval_(interval) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PeriodicTask::runPass);
}

void PeriodicTask::start() {
    running_ = true;
    ++generation_;
    timer_.start(0);
}

void PeriodicTask::stop() {
    running_ = false;
    ++generation_;
    timer_.stop();
}

void PeriodicTask::runPass() {
    if (!running_) return;
    const unsigned generation = generation_;
    pass_([self = QPointer<PeriodicTask>(this), generation] {
        if (!self || !self->running_ || self->generation_ != generation) return;
        self->timer_.start(self->interval_);
    });
}

}  // namespace corvanta

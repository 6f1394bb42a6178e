#include "corvanta/host/ReloadCoalescer.h"

namespace corvanta::host {

ReloadCoalescer::ReloadCoalescer(std::function<void()> reload, std::chrono::milliseconds interval,
                                 QObject* parent)
    : QObject(parent), reload_(std::move(reload)), interval_(interval) {
    trailing_.setSingleShot(true);
    trailing_.setTimerType(Qt::PreciseTimer);
    connect(&trailing_, &QTimer::timeout, this, &ReloadCoalescer::run);
}

void ReloadCoalescer::request() {
    if (trailing_.isActive()) return;  // the reload already due will read after this request
    const qint64 wait = sinceLast_.isValid() ? interval_.count() - sinceLast_.elapsed() : qint64{0};
    if (wait <= 0) {
        run();
    } else {
        trailing_.start(static_cast<int>(wait));
    }
}

void ReloadCoalescer::run() {
    sinceLast_.start();
    reload_();
}

}  // namespace corvanta::host

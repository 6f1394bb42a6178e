#include "Notifications/NotificationBurst.h"

namespace corvanta {

NotificationBurst::NotificationBurst(Show show, QObject* parent)
    : QObject(parent), show_(std::move(show)) {
    update_.setSingleShot(true);
    update_.setInterval(std::chrono::milliseconds(10'000));
    connect(&update_, &QTimer::timeout, this, [this] { show_(latest_); });
}

void NotificationBurst::setTimings(std::chrono::milliseconds updateInterval,
                                   std::chrono::milliseconds burstGap) {
    update_.setInterval(updateInterval);
    burstGap_ = burstGap;
}

void NotificationBurst::add(std::int64_t height, std::int64_t amountSats) {
    const auto now = std::chrono::steady_clock::now();
    if (latest_.count > 0 && now - latestAt_ > burstGap_) latest_.count = 0;
    ++latest_.count;
    latest_.height = height;
    latest_.amountSats = amountSats;
    latestAt_ = now;
    if (latest_.count == 1) {
        update_.stop();
        show_(latest_);
    } else if (!update_.isActive()) {
        update_.start();
    }
}

}  // namespace corvanta

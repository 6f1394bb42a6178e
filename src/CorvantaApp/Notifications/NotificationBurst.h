#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvanta {

// Counts a burst of like events (blocks found, rewards matured) for one notice updated in place:
// the first event of a burst is shown at once, the later ones at most once per `updateInterval`,
// with the count and the latest event. A burst ends `burstGap` after its latest event.
class NotificationBurst : public QObject {
  public:
    struct Latest {
        std::int64_t count = 0;
        std::int64_t height = 0;
        std::int64_t amountSats = 0;
    };
    using Show = std::function<void(const Latest&)>;

    NotificationBurst(Show show, QObject* parent);

    void add(std::int64_t height, std::int64_t amountSats);
    void setTimings(std::chrono::milliseconds updateInterval, std::chrono::milliseconds burstGap);

  private:
    Show show_;
    QTimer update_;
    std::chrono::milliseconds burstGap_{60'000};
    Latest latest_;
    std::chrono::steady_clock::time_point latestAt_;
};

}  // namespace corvanta

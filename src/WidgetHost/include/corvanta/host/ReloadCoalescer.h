#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace corvanta::host {

// Turns any burst of reload requests into at most one reload per interval. The first request
// after a quiet interval reloads at once; later ones are folded into one reload at the end of the
// interval, so a request is never dropped: a reload always follows the last one.
class ReloadCoalescer : public QObject {
    Q_OBJECT

  public:
    explicit ReloadCoalescer(std::function<void()> reload,
                             std::chrono::milliseconds interval = std::chrono::seconds(1),
                             QObject* parent = nullptr);

    void request();

  private:
    void run();

    std::function<void()> reload_;
    std::chrono::milliseconds interval_;
    QElapsedTimer sinceLast_;
    QTimer trailing_;
};

}  // namespace corvanta::host

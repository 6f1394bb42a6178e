#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace corvanta::host {

// SIGTERM and SIGINT as events of the event loop, so that the host ends like a quit from the
// desktop: the loop returns and what must be stored is stored. blockQuitSignals() runs first in
// main, before any thread starts, so that no thread takes the signals' default action.
void blockQuitSignals();

class QuitSignals : public QObject {
    Q_OBJECT

  public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

  signals:
    void received(int signal);

  private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace corvanta::host

#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace corvanta {

// SIGTERM, SIGINT and SIGHUP turned into a signal on the GUI thread, so they take the
// application's one way out. One per process: a signal handler can only reach a process-wide
// descriptor.
class TerminationSignals : public QObject {
    Q_OBJECT

  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

  signals:
    void received(int signalNumber);

  private:
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace corvanta

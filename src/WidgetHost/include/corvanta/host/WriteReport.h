#pragma once

#include <QString>
#include <optional>

namespace corvanta::host {

// Says in the host's log when one of its files begins to refuse writes, and when it takes them
// again, rather than at each write: a list kept as a link into a read-only folder (a dotfile
// manager's store) refuses every move for as long as the host runs.
class WriteReport {
  public:
    // `what` names what is written ("the widgets"), `file` where.
    WriteReport(QString what, QString file);

    // After each write: why it failed, or none when it went through.
    void after(const std::optional<QString>& failure);

  private:
    QString what_;
    QString file_;
    bool failing_ = false;
};

}  // namespace corvanta::host

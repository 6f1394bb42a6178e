#include "corvanta/host/WriteReport.h"

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {

WriteReport::WriteReport(QString what, QString file)
    : what_(std::move(what)), file_(std::move(file)) {}

void WriteReport::after(const std::optional<QString>& failure) {
    if (failure.has_value() == failing_) return;
    failing_ = failure.has_value();
    if (failure) {
        qCWarning(hostLog).noquote()
            << QStringLiteral(
                   "could not store %1 - %2; said once: until a write to %3 goes "
                   "through, changes hold only while the host runs")
                   .arg(what_, *failure, file_);
    } else {
        qCWarning(hostLog).noquote() << QStringLiteral("stored %1 in %2 again").arg(what_, file_);
    }
}

}  // namespace corvanta::host

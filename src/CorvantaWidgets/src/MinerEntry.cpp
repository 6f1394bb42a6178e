#include "corvanta/widgets/MinerEntry.h"

namespace corvanta::widgets {

std::chrono::system_clock::time_point timePoint(const QDateTime& date) {
    return std::chrono::system_clock::time_point(
        std::chrono::milliseconds(date.toMSecsSinceEpoch()));
}

widgetkit::TimelineEntry timelineEntry(const MinerEntry& entry) {
    return {entry.date, QVariant::fromValue(entry)};
}

MinerEntry minerEntry(const widgetkit::TimelineEntry& entry) {
    if (entry.value.canConvert<MinerEntry>()) return entry.value.value<MinerEntry>();
    return {entry.date, std::nullopt};
}

}  // namespace corvanta::widgets

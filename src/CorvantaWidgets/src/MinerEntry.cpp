#include "corvanta/widgets/MinerEntry.h"

#include "corvanta/support/IsoDate.h"

namespace corvanta::widgets {

std::chrono::system_clock::time_point timePoint(const QDateTime& date) {
    // A host's clock stays within the range; a date beyond it is clamped before the conversion to
    // the clock's ticks, which would overflow.
    if (!widgetkit::withinClockRange(date)) {
        return date.isValid() && date.toMSecsSinceEpoch() > 0 ? latestWholeSeconds()
                                                              : earliestWholeSeconds();
    }
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

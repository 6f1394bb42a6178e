#pragma once

#include <QDateTime>
#include <QMetaType>
#include <chrono>
#include <optional>

#include "corvanta/shared/MinerSnapshot.h"
#include "corvanta/widgetkit/Timeline.h"

namespace corvanta::widgets {

// One state of both widgets: the snapshot read at `date`, none when there was no container, no
// file or no snapshot in it. The views measure the snapshot's age against `date`.
struct MinerEntry {
    QDateTime date;
    std::optional<MinerSnapshot> snapshot;
};

// The instant a date stands for, in the clock the snapshot's dates use; a date outside that
// clock's range (which a host's clock never gives) is clamped to its nearest end, an invalid one
// to the earliest.
std::chrono::system_clock::time_point timePoint(const QDateTime& date);

widgetkit::TimelineEntry timelineEntry(const MinerEntry& entry);
// The entry a timeline entry carries; one of another provider reads as an entry at the same date
// without a snapshot.
MinerEntry minerEntry(const widgetkit::TimelineEntry& entry);

}  // namespace corvanta::widgets

Q_DECLARE_METATYPE(corvanta::widgets::MinerEntry)

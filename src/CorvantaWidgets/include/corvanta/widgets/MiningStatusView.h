#pragma once

#include <QColor>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "corvanta/widgetkit/Timeline.h"
#include "corvanta/widgets/MinerEntry.h"
#include "corvanta/widgets/WidgetStrings.h"

// The mining status widget ("corvanta.widget.mining"): hash rate, time since the network's last
// block and the applied mode or pause, or the stopped state.
namespace corvanta::widgets::miningStatus {

inline constexpr char kind[] = "corvanta.widget.mining";

// A snapshot, fresh at the entry's date, of a running miner. A pause does not change it.
bool isLive(const MinerEntry& entry);

// "42s", "2m 5s", "1h 2m" from the seconds since the network's last block (negative counts as
// 0). None for a value that is not finite or lies beyond a signed 64-bit number.
std::optional<QString> elapsedText(double seconds);

struct ModeBadge {
    QString text;
    QColor colour;
};
ModeBadge modeBadge(const MinerSnapshot& snapshot);

// What the view draws for one entry (its property names are the view's).
QVariantMap content(const MinerEntry& entry, widgetkit::WidgetFamily family, Language language);

}  // namespace corvanta::widgets::miningStatus

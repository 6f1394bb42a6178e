#include "corvanta/widgetkit/Timeline.h"

#include "corvanta/support/IsoDate.h"

namespace corvanta::widgetkit {

QString familyName(WidgetFamily family) {
    return family == WidgetFamily::systemSmall ? QStringLiteral("small") : QStringLiteral("medium");
}

std::optional<WidgetFamily> familyNamed(const QString& name) {
    if (name == QLatin1String("small")) return WidgetFamily::systemSmall;
    if (name == QLatin1String("medium")) return WidgetFamily::systemMedium;
    return std::nullopt;
}

QSizeF familySize(WidgetFamily family) {
    return family == WidgetFamily::systemSmall ? QSizeF(170, 170) : QSizeF(364, 170);
}

std::optional<QDateTime> Timeline::nextRequestDate() const {
    switch (policy.kind) {
        case TimelineReloadPolicy::Kind::after:
            return policy.date;
        case TimelineReloadPolicy::Kind::atEnd: {
            // The latest entry's date: entries need not come in date order.
            std::optional<QDateTime> latest;
            for (const auto& entry : entries) {
                if (!latest || entry.date > *latest) latest = entry.date;
            }
            return latest;
        }
        case TimelineReloadPolicy::Kind::never:
            break;
    }
    return std::nullopt;
}

bool withinClockRange(const QDateTime& date) {
    if (!date.isValid()) return false;
    // Compared in milliseconds, which hold the whole range without overflowing.
    const qint64 ms = date.toMSecsSinceEpoch();
    const auto msOf = [](WholeSeconds seconds) {
        return qint64(seconds.time_since_epoch().count()) * 1000;
    };
    return ms >= msOf(earliestWholeSeconds()) && ms <= msOf(latestWholeSeconds());
}

std::optional<QDateTime> parseClockDate(const QString& text) {
    const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    // A date without its zone would be read in the local zone: not the instant that was meant.
    if (!date.isValid() || date.timeSpec() == Qt::LocalTime || !withinClockRange(date)) {
        return std::nullopt;
    }
    return date;
}

}  // namespace corvanta::widgetkit

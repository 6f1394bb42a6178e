#include "corvanta/widgetkit/Timeline.h"

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

}  // namespace corvanta::widgetkit

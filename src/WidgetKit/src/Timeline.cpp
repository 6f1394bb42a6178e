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
        case TimelineReloadPolicy::Kind::atEnd:
            if (entries.isEmpty()) return std::nullopt;
            return entries.last().date;
        case TimelineReloadPolicy::Kind::never:
            break;
    }
    return std::nullopt;
}

}  // namespace corvanta::widgetkit

#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QtPlugin>
#include <functional>
#include <memory>

#include "corvanta/widgetkit/Timeline.h"

namespace corvanta::widgetkit {

// How one widget looks: a QML component from the plug-in's own resources, whose `content`
// property (a map) the host sets to `content(entry, family)` for each entry it shows.
struct WidgetView {
    QUrl source;
    std::function<QVariantMap(const TimelineEntry&, WidgetFamily)> content;
};

struct WidgetConfiguration {
    QString kind;
    // Keys of the plug-in's own string table; `localized` turns them into text.
    QString displayNameKey;
    QString descriptionKey;
    QList<WidgetFamily> families;
    std::shared_ptr<const TimelineProvider> provider;
    WidgetView view;
};

// What a widget plug-in offers. Objects it returns live no longer than the plug-in, which a host
// never unloads.
class WidgetBundle {
  public:
    virtual ~WidgetBundle() = default;
    // The bundle's widgets in display order; their providers read the time from `clock`.
    virtual QList<WidgetConfiguration> widgets(Clock clock) const = 0;
    // A key of the bundle's string table in the user's language, or the key itself.
    virtual QString localized(const QString& key) const = 0;
};

}  // namespace corvanta::widgetkit

// Bump the version on any incompatible change: a host skips plug-ins of another IID unloaded.
#define CorvantaWidgetBundle_iid "rigwell.WidgetBundle/1.0"
Q_DECLARE_INTERFACE(corvanta::widgetkit::WidgetBundle, CorvantaWidgetBundle_iid)

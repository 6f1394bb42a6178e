#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QQuickItem>

#include "HostTestSupport.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/ReferenceDate.h"

namespace corvanta::host {

// The stored instances as "kind family x,y".
inline QStringList storedInstances(const std::filesystem::path& file) {
    QStringList list;
    for (const auto& instance : decodeInstances(testing::readText(file))) {
        list << QStringLiteral("%1 %2 %3,%4")
                    .arg(instance.kind, widgetkit::familyName(instance.family))
                    .arg(instance.position.x())
                    .arg(instance.position.y());
    }
    return list;
}

inline const QDateTime t0 = QDateTime::fromString("2026-12-06T22:00:00Z", Qt::ISODate);

inline ReferenceDate referenceDate(const QDateTime& date) {
    return {date.toMSecsSinceEpoch() / 1000.0 - ReferenceDate::secondsFromUnixEpoch};
}

// The real plug-in's widgets, at the fixed date t0.
inline std::vector<LoadedWidget> corvantaWidgets() {
    return loadWidgets(QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path(), [] { return t0; });
}

// A host over the real plug-in, in French, with its own data and config folders.
class Host : public testing::QtTest {
  protected:
    testing::TempDir dir_;
    testing::ScopedEnv dataHome_{"XDG_DATA_HOME", (dir_.path() / "data").string()};
    const std::filesystem::path file_ = dir_.path() / "config" / "widget-host.json";

    std::unique_ptr<WidgetHost> startHost(bool galleryAsked = false) {
        auto host = std::make_unique<WidgetHost>(
            corvantaWidgets(), InstanceStore(file_), [] { return t0; }, std::chrono::seconds(1),
            widgetkit::Language::french);
        host->start(galleryAsked);
        return host;
    }
    static QVariantMap content(const WidgetHost::Shown& shown) {
        QQuickItem* view = shown.window->viewItem();
        return view ? view->property("content").toMap() : QVariantMap();
    }
};

}  // namespace corvanta::host

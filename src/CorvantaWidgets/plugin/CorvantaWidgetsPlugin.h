#pragma once

#include <QObject>

#include "corvanta/widgetkit/WidgetBundle.h"
#include "corvanta/widgets/WidgetStrings.h"

namespace corvanta::widgets {

// The widget bundle: the mining status widget, then the earnings widget, both fed by one
// MinerProvider. It never talks to the application; all it shows comes from the snapshot file.
class CorvantaWidgetsPlugin final : public QObject, public widgetkit::WidgetBundle {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvantaWidgetBundle_iid FILE "plugin.json")
    Q_INTERFACES(corvanta::widgetkit::WidgetBundle)

  public:
    CorvantaWidgetsPlugin();

    QList<widgetkit::WidgetConfiguration> widgets(widgetkit::Clock clock) const override;
    QString localized(const QString& key) const override;
};

}  // namespace corvanta::widgets

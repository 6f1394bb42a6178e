// A plug-in of the right IID whose metadata lists no kinds: a host cannot check it against the
// plug-ins it has, so it skips it without loading it.
#include <QObject>
#include <QtPlugin>

#include "corvanta/widgetkit/WidgetBundle.h"

class NoKindsPlugin : public QObject, public corvanta::widgetkit::WidgetBundle {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvantaWidgetBundle_iid)
    Q_INTERFACES(corvanta::widgetkit::WidgetBundle)

  public:
    QList<corvanta::widgetkit::WidgetConfiguration> widgets(
        corvanta::widgetkit::Clock) const override {
        return {};
    }
    QString localized(const QString& key) const override { return key; }
};

#include "NoKindsPlugin.moc"

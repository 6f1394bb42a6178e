// A plug-in of the right IID that cannot be loaded: it needs data no library provides.
#include <QObject>
#include <QtPlugin>

#include "corvanta/widgetkit/WidgetBundle.h"

extern "C" int corvanta_test_symbol_nobody_defines;

class UnloadablePlugin : public QObject, public corvanta::widgetkit::WidgetBundle {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvantaWidgetBundle_iid FILE "unloadable.json")
    Q_INTERFACES(corvanta::widgetkit::WidgetBundle)

  public:
    QList<corvanta::widgetkit::WidgetConfiguration> widgets(
        corvanta::widgetkit::Clock) const override {
        return {};
    }
    QString localized(const QString& key) const override {
        return key + QString::number(corvanta_test_symbol_nobody_defines);
    }
};

#include "UnloadablePlugin.moc"

// A plug-in written against an older interface version: a host must skip it without loading it.
#include <QObject>
#include <QtPlugin>

class WrongIidPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "rigwell.WidgetBundle/0.9")
};

#include "WrongIidPlugin.moc"

#include "corvanta/host/PluginFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QSet>

namespace corvanta::host {

Q_LOGGING_CATEGORY(hostLog, "corvanta.widget-host")

QString pluginFolder() {
    const QString fromEnvironment = qEnvironmentVariable("CORVANTA_WIDGET_PLUGINS");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../lib/corvanta/widgets"));
}

std::vector<LoadedWidget> loadWidgets(const QString& folder, const widgetkit::Clock& clock) {
    std::vector<LoadedWidget> widgets;
    QSet<QString> kinds;
    const QDir dir(folder);
    const auto files = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : files) {
        const QString path = dir.absoluteFilePath(name);
        if (!QLibrary::isLibrary(path)) continue;
        QPluginLoader loader(path);
        // Read from the file's metadata: a plug-in of another IID is never loaded.
        const QString iid = loader.metaData().value(QStringLiteral("IID")).toString();
        if (iid != QLatin1String(CorvantaWidgetBundle_iid)) {
            qCWarning(hostLog).noquote()
                << "skipped" << path << "- IID" << (iid.isEmpty() ? QStringLiteral("(none)") : iid)
                << "instead of" << CorvantaWidgetBundle_iid;
            continue;
        }
        QObject* instance = loader.instance();
        const auto* bundle = qobject_cast<widgetkit::WidgetBundle*>(instance);
        if (bundle == nullptr) {
            qCWarning(hostLog).noquote() << "skipped" << path << "-" << loader.errorString();
            continue;
        }
        for (auto& configuration : bundle->widgets(clock)) {
            if (kinds.contains(configuration.kind) || !configuration.provider ||
                configuration.families.isEmpty() || !configuration.view.content) {
                qCWarning(hostLog).noquote() << "skipped widget" << configuration.kind << "of"
                                             << path << "- a duplicate or incomplete kind";
                continue;
            }
            kinds.insert(configuration.kind);
            qCInfo(hostLog).noquote()
                << QStringLiteral("widget %1 (%2) from %3")
                       .arg(configuration.kind, bundle->localized(configuration.displayNameKey),
                            path);
            widgets.push_back({std::move(configuration), bundle});
        }
    }
    return widgets;
}

}  // namespace corvanta::host

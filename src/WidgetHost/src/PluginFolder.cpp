#include "corvanta/host/PluginFolder.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QJsonArray>
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

namespace {

// The kinds a plug-in's metadata declares ("kinds" in its plugin.json); none when it declares none
// or something else than a list of names.
QStringList declaredKinds(const QJsonObject& metaData) {
    QStringList kinds;
    for (const QJsonValue& value : metaData.value(QStringLiteral("MetaData"))
                                       .toObject()
                                       .value(QStringLiteral("kinds"))
                                       .toArray()) {
        if (!value.isString() || value.toString().isEmpty()) return {};
        kinds << value.toString();
    }
    return kinds;
}

}  // namespace

std::vector<LoadedWidget> loadWidgets(const QString& folder, const widgetkit::Clock& clock) {
    std::vector<LoadedWidget> widgets;
    // Kinds of the plug-ins loaded so far, each with the file that offers it.
    QHash<QString, QString> offeredBy;
    const QDir dir(folder);
    const auto files = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : files) {
        const QString path = dir.absoluteFilePath(name);
        if (!QLibrary::isLibrary(path)) continue;
        QPluginLoader loader(path);
        // Everything below is read from the file's metadata, before the file is loaded: loading a
        // plug-in of another IID, or a second copy of one already loaded (whose views would
        // register their QML module again, which aborts the process), is never tried.
        const QJsonObject metaData = loader.metaData();
        const QString iid = metaData.value(QStringLiteral("IID")).toString();
        if (iid != QLatin1String(CorvantaWidgetBundle_iid)) {
            qCWarning(hostLog).noquote()
                << "skipped" << path << "- IID" << (iid.isEmpty() ? QStringLiteral("(none)") : iid)
                << "instead of" << CorvantaWidgetBundle_iid;
            continue;
        }
        const QStringList kinds = declaredKinds(metaData);
        if (kinds.isEmpty()) {
            qCWarning(hostLog).noquote() << "skipped" << path << "- its metadata lists no kinds";
            continue;
        }
        if (const auto known =
                std::find_if(kinds.begin(), kinds.end(),
                             [&](const QString& kind) { return offeredBy.contains(kind); });
            known != kinds.end()) {
            qCWarning(hostLog).noquote() << "skipped" << path << "- the widget" << *known
                                         << "is already offered by" << offeredBy.value(*known);
            continue;
        }
        QObject* instance = loader.instance();
        const auto* bundle = qobject_cast<widgetkit::WidgetBundle*>(instance);
        if (bundle == nullptr) {
            qCWarning(hostLog).noquote() << "skipped" << path << "-" << loader.errorString();
            continue;
        }
        for (const QString& kind : kinds) offeredBy.insert(kind, path);
        QSet<QString> taken;
        for (auto& configuration : bundle->widgets(clock)) {
            // Only the kinds the metadata declared, each once: the check above relies on them.
            if (!kinds.contains(configuration.kind) || taken.contains(configuration.kind) ||
                !configuration.provider || configuration.families.isEmpty() ||
                !configuration.view.content) {
                qCWarning(hostLog).noquote()
                    << "skipped widget" << configuration.kind << "of" << path
                    << "- an undeclared, duplicate or incomplete kind";
                continue;
            }
            taken.insert(configuration.kind);
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

// corvanta-widget-host: shows the desktop widgets of the plug-ins in its plug-in folder, or with
// --render draws one widget entry to a PNG and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

#include "corvanta/host/HostBus.h"
#include "corvanta/host/HostLock.h"
#include "corvanta/host/LoginEntry.h"
#include "corvanta/host/QuitSignals.h"
#include "corvanta/host/Render.h"
#include "corvanta/host/SnapshotWatcher.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/IsoDate.h"

namespace {

using namespace corvanta;

bool wantsRender(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--render") == 0) return true;
    }
    return false;
}

int fail(const QString& message) {
    std::fprintf(stderr, "corvanta-widget-host: %s\n", qPrintable(message));
    return 2;
}

// The application has run for this user: it writes its snapshot from its first second.
bool appHasRun() {
    const auto snapshot = SharedContainer::snapshotURL();
    struct stat info {};
    return snapshot && ::stat(snapshot->c_str(), &info) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool render = wantsRender(argc, argv);
    // Before any thread starts, so that every thread leaves them to the host's event loop. A
    // render has no loop to read them: it keeps the default action.
    if (!render) host::blockQuitSignals();
    if (render) {
        // Rendering needs no display and must not depend on one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    // Widgets for the context menus: a Qt Quick window cannot draw a menu outside itself.
    QApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("corvanta-widget-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows Corvanta's desktop widgets."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("render"), QStringLiteral("Render one entry of the widget KIND and exit."),
         QStringLiteral("KIND")},
        {QStringLiteral("family"), QStringLiteral("small or medium (default small)."),
         QStringLiteral("FAMILY"), QStringLiteral("small")},
        {QStringLiteral("out"), QStringLiteral("The PNG file to write."), QStringLiteral("FILE")},
        {QStringLiteral("now"), QStringLiteral("The date to render at (ISO 8601, with its zone)."),
         QStringLiteral("DATE")},
        {QStringLiteral("preview"), QStringLiteral("Render the preview snapshot entry.")},
        {QStringLiteral("started-by-app"),
         QStringLiteral("Started by the application: a user without widgets gets the default "
                        "ones.")},
    });
    parser.process(app);

    widgetkit::Clock clock = [] { return QDateTime::currentDateTimeUtc(); };
    if (parser.isSet(QStringLiteral("now"))) {
        const QString text = parser.value(QStringLiteral("now"));
        const auto fixed = widgetkit::parseClockDate(text);
        if (!fixed) {
            return fail(
                QStringLiteral("--now %1 is not an ISO 8601 date with a zone, from %2 to %3")
                    .arg(text, QString::fromStdString(formatIsoDate(earliestWholeSeconds())),
                         QString::fromStdString(formatIsoDate(latestWholeSeconds()))));
        }
        clock = [fixed = *fixed] { return fixed; };
    }
    const bool placesDefaults = parser.isSet(QStringLiteral("started-by-app")) || appHasRun();
    const auto instanceFile = host::InstanceStore::defaultFile();
    std::error_code noFile;
    if (!render && !placesDefaults &&
        !std::filesystem::exists(std::filesystem::symlink_status(instanceFile, noFile))) {
        // A user who has never used the application: nothing is loaded, shown or written.
        return 0;
    }
    const auto widgets = host::loadWidgets(host::pluginFolder(), clock);

    if (render) {
        const auto family = widgetkit::familyNamed(parser.value(QStringLiteral("family")));
        if (!family) return fail(QStringLiteral("--family must be small or medium"));
        if (!parser.isSet(QStringLiteral("out"))) return fail(QStringLiteral("--out is required"));
        const auto error =
            host::renderToFile(widgets, {parser.value(QStringLiteral("render")), *family,
                                         parser.isSet(QStringLiteral("preview")),
                                         parser.value(QStringLiteral("out"))});
        return error ? fail(*error) : 0;
    }

    if (widgets.empty()) qCWarning(host::hostLog) << "no widget in" << host::pluginFolder();
    // Each widget logs each read of the snapshot: once a second while the application mines,
    // more than a session's log should take. QT_LOGGING_RULES brings the lines back.
    QLoggingCategory::setFilterRules(QStringLiteral("rigwell.widgets.timeline.info=false"));

    host::HostLock lock(host::HostLock::defaultFile());
    switch (lock.acquire()) {
        case host::HostLock::Outcome::held:
            break;
        case host::HostLock::Outcome::taken:
            std::fprintf(stderr, "corvanta-widget-host: another widget host is already running\n");
            return 1;
        case host::HostLock::Outcome::failed:
            // The bus name still keeps the session to one host.
            qCWarning(host::hostLog).noquote() << QString::fromStdString(lock.error());
            break;
    }

    QGuiApplication::setQuitOnLastWindowClosed(false);
    host::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &host::QuitSignals::received, &app,
                     [] { QCoreApplication::exit(0); });
    // Its own texts (gallery, menus) in the language the user chose in the application.
    host::WidgetHost widgetHost(widgets, host::InstanceStore(instanceFile), clock,
                                std::chrono::seconds(1), widgetkit::chosenLanguage());
    // Nothing of ours appears for a user who has never used the application.
    widgetHost.setPlacesDefaults(placesDefaults);
    widgetHost.setLoginEntry(
        host::LoginEntry(host::LoginEntry::defaultFile(), QCoreApplication::applicationFilePath()));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &widgetHost,
                     &host::WidgetHost::storeUnsettledMoves);
    std::unique_ptr<host::SnapshotWatcher> snapshotWatcher;
    auto* adaptor = new host::HostBusAdaptor([&] { widgetHost.reloadAll(); },
                                             [&](const QString& kind) { widgetHost.reload(kind); },
                                             &widgetHost);
    const auto start = [&] {
        if (!widgetHost.start()) {
            QCoreApplication::exit(0);
            return;
        }
        // Every new snapshot reaches the widgets, coalesced to one read a second.
        if (const auto snapshot = SharedContainer::snapshotURL()) {
            snapshotWatcher = std::make_unique<host::SnapshotWatcher>(*snapshot);
            QObject::connect(snapshotWatcher.get(), &host::SnapshotWatcher::replaced, &widgetHost,
                             &host::WidgetHost::reloadAll);
        }
    };
    // Nothing is shown before the host knows it is the session's only one: a second host leaves
    // the desktop and the instance file to the first.
    if (!host::publishOnBus(
            QDBusConnection::sessionBus(), adaptor, [] { QCoreApplication::exit(1); }, start)) {
        // Started from the event loop, so that an exit it asks for ends the loop.
        QTimer::singleShot(0, &app, start);
    }
    return QGuiApplication::exec();
}

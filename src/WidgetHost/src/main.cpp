// corvanta-widget-host: shows the desktop widgets of the plug-ins in its plug-in folder, or with
// --render draws one widget entry to a PNG and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <variant>

#include <sys/stat.h>

#include "corvanta/host/Display.h"
#include "corvanta/host/HostBus.h"
#include "corvanta/host/HostLock.h"
#include "corvanta/host/LoginEntry.h"
#include "corvanta/host/QuitSignals.h"
#include "corvanta/host/Render.h"
#include "corvanta/host/SnapshotWatcher.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/widgetkit/HostBus.h"
#include "corvanta/widgetkit/QtCaches.h"

namespace {

using namespace corvanta;

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

// This program's own file, before any application object can name it.
QString programFile() {
    std::error_code error;
    const auto file = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QString() : QString::fromStdString(file.string());
}

// What the command line asks for.
struct Arguments {
    std::optional<QString> render;
    QString family = QStringLiteral("small");
    std::optional<QString> out;
    std::optional<QString> now;
    bool preview = false;
    bool startedByApp = false;
    bool gallery = false;
};

// The parsed arguments, or the exit status when the command line is answered (help, version) or
// refused. Read before the application object exists: --help and --version need no display, and a
// refused command line opens none.
std::variant<Arguments, int> parseArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows Corvanta's desktop widgets."));
    // Our own help option: Qt's adds --help-all, which would need the application object.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption render(QStringLiteral("render"),
                                    QStringLiteral("Render one entry of the widget KIND and exit."),
                                    QStringLiteral("KIND"));
    const QCommandLineOption family(QStringLiteral("family"),
                                    QStringLiteral("small or medium (default small)."),
                                    QStringLiteral("FAMILY"), QStringLiteral("small"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The PNG file to write."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption now(QStringLiteral("now"),
                                 QStringLiteral("The date to render at (ISO 8601, with its zone)."),
                                 QStringLiteral("DATE"));
    const QCommandLineOption preview(QStringLiteral("preview"),
                                     QStringLiteral("Render the preview snapshot entry."));
    const QCommandLineOption startedByApp(
        QStringLiteral("started-by-app"),
        QStringLiteral("Started by the application: a user without a widget list gets the "
                       "default widgets."));
    const QCommandLineOption gallery(
        QStringLiteral("gallery"),
        QStringLiteral("Open the widget gallery (in the host already running, if any)."));
    parser.addOptions({help, version, render, family, out, now, preview, startedByApp, gallery});
    const auto usage = [&parser] {
        // Without an application object Qt cannot name the program.
        return parser.helpText().replace(QStringLiteral("<executable_name>"),
                                         QStringLiteral("corvanta-widget-host"));
    };
    QString refused;
    if (!parser.parse(arguments)) {
        refused = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        refused =
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst());
    }
    if (!refused.isEmpty()) {
        std::fprintf(stderr, "corvanta-widget-host: %s\n\n%s", qPrintable(refused),
                     qPrintable(usage()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("corvanta-widget-host %s\n", CORVANTA_VERSION);
        return 0;
    }
    Arguments parsed;
    if (parser.isSet(render)) parsed.render = parser.value(render);
    parsed.family = parser.value(family);
    if (parser.isSet(out)) parsed.out = parser.value(out);
    if (parser.isSet(now)) parsed.now = parser.value(now);
    parsed.preview = parser.isSet(preview);
    parsed.startedByApp = parser.isSet(startedByApp);
    parsed.gallery = parser.isSet(gallery);
    return parsed;
}

// Hands the request for the gallery to the host that runs; false when none answered.
bool askRunningHostForGallery(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    const auto call =
        QDBusMessage::createMethodCall(QString::fromLatin1(widgetkit::hostBus::service),
                                       QString::fromLatin1(widgetkit::hostBus::path),
                                       QString::fromLatin1(widgetkit::hostBus::interface),
                                       QString::fromLatin1(widgetkit::hostBus::openGallery));
    // The running host only queues the request: its answer is quick, or there is no host.
    constexpr int answerWithin = 10'000;
    const QDBusMessage answer = bus.call(call, QDBus::Block, answerWithin);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        qCWarning(host::hostLog).noquote()
            << "the running widget host did not open its gallery:" << answer.errorMessage();
        return false;
    }
    return true;
}

// A second host leaves the desktop to the first; asked for the gallery, it passes that on.
int anotherHostRuns(const Arguments& arguments) {
    if (arguments.gallery) return askRunningHostForGallery(QDBusConnection::sessionBus()) ? 0 : 1;
    std::fprintf(stderr, "corvanta-widget-host: another widget host is already running\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = parseArguments(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Arguments arguments = std::get<Arguments>(parsed);
    const bool render = arguments.render.has_value();
    widgetkit::keepQtCachesInTheUsersFolders();
    // Before any thread starts, so that every thread leaves them to the host's event loop. A
    // render has no loop to read them: it keeps the default action.
    if (!render) host::blockQuitSignals();
    if (render) {
        // Rendering needs no display and must not depend on one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    widgetkit::Clock clock = [] { return QDateTime::currentDateTimeUtc(); };
    if (arguments.now) {
        const auto fixed = widgetkit::parseClockDate(*arguments.now);
        if (!fixed) {
            return fail(
                QStringLiteral("--now %1 is not an ISO 8601 date with a zone, from %2 to %3")
                    .arg(*arguments.now,
                         QString::fromStdString(formatIsoDate(earliestWholeSeconds())),
                         QString::fromStdString(formatIsoDate(latestWholeSeconds()))));
        }
        clock = [fixed = *fixed] { return fixed; };
    }
    const bool placesDefaults = arguments.startedByApp || appHasRun();
    const auto instanceFile = host::InstanceStore::defaultFile();
    host::InstanceStore store(instanceFile);
    if (!render) {
        std::error_code noFile;
        if (!placesDefaults && !arguments.gallery &&
            !std::filesystem::exists(std::filesystem::symlink_status(instanceFile, noFile))) {
            // A user who has never used the application: nothing is loaded, shown or written.
            return 0;
        }
        // Only looked at: what cannot be read is set aside once the host knows it can show
        // something, never by a host that ends here.
        const auto found = store.peek();
        if (arguments.gallery && !placesDefaults && !found) {
            // The gallery offers the widgets of the application's snapshot; with neither the
            // application's files nor a list of widgets there is nothing to offer yet.
            std::fprintf(stderr,
                         "corvanta-widget-host: no widget gallery to open: Corvanta has not run "
                         "for this user yet; start it once and its widgets can be placed\n");
            return host::nothingToShowStatus;
        }
        if (!host::startShowsAnything(found, placesDefaults, arguments.gallery)) {
            // The user removed every widget: nothing starts at login either.
            if (found)
                host::LoginEntry(host::LoginEntry::defaultFile(), programFile()).follow(false);
            return 0;
        }
        // Only now, with something to show: without a display it could not be made at all, and
        // the host says so instead of aborting, having touched no file.
        if (const auto missing = host::missingDisplay()) {
            std::fprintf(stderr, "corvanta-widget-host: %s\n", qPrintable(*missing));
            return host::noDisplayStatus;
        }
    }
    std::optional<host::DisplayFailureExit> displayFailureExit{std::in_place};
    // Widgets for the context menus: a Qt Quick window cannot draw a menu outside itself.
    QApplication app(argc, argv);
    displayFailureExit.reset();
    // With a display: the list is read again, and what cannot be read is set aside now.
    std::optional<std::vector<host::WidgetInstance>> stored;
    if (!render) stored = store.load();
    QGuiApplication::setApplicationName(QStringLiteral("corvanta-widget-host"));
    const auto widgets = host::loadWidgets(host::pluginFolder(), clock);

    if (render) {
        const auto family = widgetkit::familyNamed(arguments.family);
        if (!family) return fail(QStringLiteral("--family must be small or medium"));
        if (!arguments.out) return fail(QStringLiteral("--out is required"));
        const auto error = host::renderToFile(
            widgets, {*arguments.render, *family, arguments.preview, *arguments.out});
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
            return anotherHostRuns(arguments);
        case host::HostLock::Outcome::failed:
            // The bus name still keeps the session to one host.
            qCWarning(host::hostLog).noquote() << QString::fromStdString(lock.error());
            break;
    }

    QGuiApplication::setQuitOnLastWindowClosed(false);
    host::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &host::QuitSignals::received, &app,
                     [] { QCoreApplication::exit(0); });
    // Its own texts (gallery, menus) in the language the application publishes for the widgets.
    host::WidgetHost widgetHost(widgets, std::move(store), clock, std::chrono::seconds(1),
                                widgetkit::chosenLanguage());
    // Nothing of ours appears for a user who has never used the application.
    widgetHost.setPlacesDefaults(placesDefaults);
    widgetHost.setLoginEntry(
        host::LoginEntry(host::LoginEntry::defaultFile(), QCoreApplication::applicationFilePath()));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &widgetHost,
                     &host::WidgetHost::storeUnsettledMoves);
    std::unique_ptr<host::SnapshotWatcher> snapshotWatcher;
    auto* adaptor = new host::HostBusAdaptor([&] { widgetHost.reloadAll(); },
                                             [&](const QString& kind) { widgetHost.reload(kind); },
                                             [&] { widgetHost.openGallery(); }, &widgetHost);
    const auto start = [&] {
        if (!widgetHost.start(arguments.gallery, stored)) {
            QCoreApplication::exit(0);
            return;
        }
        // Every new snapshot reaches the widgets, coalesced to one read a second, and its
        // language the host's own texts. A snapshot that stops coming is looked at again once
        // the writer is late (a writer that died shows as stopped) and again once it has gone
        // stale (one that hangs does).
        if (const auto snapshot = SharedContainer::snapshotURL()) {
            snapshotWatcher = std::make_unique<host::SnapshotWatcher>(*snapshot);
            QObject::connect(snapshotWatcher.get(), &host::SnapshotWatcher::replaced, &widgetHost,
                             [&] {
                                 widgetHost.setLanguage(widgetkit::chosenLanguage());
                                 widgetHost.reloadAll();
                             });
            QObject::connect(snapshotWatcher.get(), &host::SnapshotWatcher::late, &widgetHost,
                             &host::WidgetHost::reloadAll);
            QObject::connect(snapshotWatcher.get(), &host::SnapshotWatcher::quiet, &widgetHost,
                             &host::WidgetHost::reloadAll);
        }
    };
    // Nothing is shown before the host knows it is the session's only one: a second host leaves
    // the desktop and the instance file to the first.
    if (!host::publishOnBus(
            QDBusConnection::sessionBus(), adaptor,
            [&arguments] { QCoreApplication::exit(anotherHostRuns(arguments)); }, start)) {
        // Started from the event loop, so that an exit it asks for ends the loop.
        QTimer::singleShot(0, &app, start);
    }
    return QGuiApplication::exec();
}

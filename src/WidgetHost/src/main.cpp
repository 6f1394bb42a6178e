// corvanta-widget-host: shows the desktop widgets of the plug-ins in its plug-in folder, or with
// --render draws one widget entry to a PNG and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QQuickWindow>
#include <cstdio>

#include "corvanta/host/HostBus.h"
#include "corvanta/host/Render.h"
#include "corvanta/host/WidgetHost.h"
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

}  // namespace

int main(int argc, char** argv) {
    const bool render = wantsRender(argc, argv);
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
    QGuiApplication::setQuitOnLastWindowClosed(false);
    host::WidgetHost widgetHost(widgets, host::InstanceStore(host::InstanceStore::defaultFile()),
                                clock);
    auto* adaptor = new host::HostBusAdaptor([&] { widgetHost.reloadAll(); },
                                             [&](const QString& kind) { widgetHost.reload(kind); },
                                             &widgetHost);
    // Nothing is shown before the host knows it is the session's only one: a second host leaves
    // the desktop and the instance file to the first.
    if (!host::publishOnBus(
            QDBusConnection::sessionBus(), adaptor, [] { QCoreApplication::exit(1); },
            [&] { widgetHost.start(); })) {
        widgetHost.start();
    }
    return QGuiApplication::exec();
}

// corvanta: the application. One per user and support folder: a second launch asks the first to
// show its window and ends.
#include <QtQml/qqmlextensionplugin.h>
#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QQuickWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Session/MiningSessionModel.h"
#include "Shell/AppDelegate.h"
#include "Shell/ControlStyle.h"
#include "Shell/CorvantaApp.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"
#include "Shell/SingleInstance.h"
#include "Shell/TerminationSignals.h"
#include "Shell/WidgetHostLauncher.h"
#include "SystemServices/AppInfo.h"
#include "SystemServices/LaunchAtLogin.h"
#include "SystemServices/SettingsFile.h"
#include "Updates/UpdateController.h"
#include "Updates/UpdateNotifier.h"
#include "corvanta/node/BinaryLocator.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    bool reportFrames = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report-frames") == 0) {
            // For the start-up benchmark: when the first frame is drawn, and how many are drawn.
            reportFrames = true;
        } else {
            std::fprintf(stderr, "corvanta: unknown argument %s (only --report-frames)\n", argv[i]);
            return 2;
        }
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "corvanta: no display found; running off screen (no window can be "
                     "seen, no tray item)\n");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The software renderer: the interface is flat, and GL on a software rasteriser costs more
    // memory and a slower first frame.
    if (std::getenv("QT_QUICK_BACKEND") == nullptr) setenv("QT_QUICK_BACKEND", "software", 1);
    // The controls' one style, the one the tests and the golden images draw with.
    corvanta::useControlStyle();

    QApplication application(argc, argv);
    // The application name is the window class (WM_CLASS "corvanta", "Corvanta") that the desktop
    // entry's StartupWMClass names, so the launcher and the window group together.
    QApplication::setApplicationName(QStringLiteral("Corvanta"));
    // The version the build recorded: what the usage pulse reports and About shows.
    QApplication::setApplicationVersion(
        corvanta::infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QString()));
    QApplication::setDesktopFileName(QStringLiteral(CORVANTA_APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString socket = corvanta::SingleInstance::socketName(
        QString::fromStdString(corvanta::BinaryLocator::applicationSupportDirectory().string()));
    if (corvanta::SingleInstance::forwardReopen(socket)) {
        std::fprintf(stderr, "corvanta: already running; its window was asked to open\n");
        return 0;
    }
    corvanta::SingleInstance instance;
    if (!instance.listen(socket)) {
        std::fprintf(stderr, "corvanta: cannot hold the single-instance socket: %s\n",
                     qPrintable(instance.errorString()));
        return 1;
    }

    // A login item written by a copy of this program that has since gone now starts this one.
    corvanta::LaunchAtLogin().replaceDangling();
    corvanta::loadBundledFonts();
    // Before anything opens the settings: a damaged file is put right here, and said in the log.
    const QString settingsPath = corvanta::Preferences::defaultPath();
    const auto settingsNotice =
        corvanta::checkSettingsFile(settingsPath).logLine(QFileInfo(settingsPath).fileName());
    corvanta::Prefs prefs{corvanta::Preferences()};
    corvanta::Platform platform{QDBusConnection::sessionBus()};
    corvanta::CorvantaApp::Options options;
    options.makeSession = [settingsNotice](QObject* parent) -> QObject* {
        auto* session =
            new corvanta::MiningSessionModel(corvanta::Preferences(), QDBusConnection::sessionBus(),
                                             QDBusConnection::systemBus(), {}, parent);
        if (settingsNotice) session->appendLog(*settingsNotice);
        return session;
    };
    options.terminate = [] { QCoreApplication::exit(0); };
    const corvanta::UpdateController updates;
    options.updatesConfigured = updates.isConfigured();
    std::unique_ptr<corvanta::UpdateNotifier> updateNotifier;
    corvanta::CorvantaApp* appForUpdates = nullptr;
    if (updates.isConfigured()) {
        // Each outcome goes to the session's event log; a newer release is a notification.
        updateNotifier = std::make_unique<corvanta::UpdateNotifier>(
            updates.checkSettings(), QDBusConnection::sessionBus(),
            [&appForUpdates](const QString& line) {
                auto* model = qobject_cast<corvanta::MiningSessionModel*>(
                    appForUpdates != nullptr ? &appForUpdates->delegate().session() : nullptr);
                if (model != nullptr) model->appendLog(line);
            },
            [&platform](const QUrl& page) { platform.openUrl(page); });
        options.checkForUpdates = [&updateNotifier] { updateNotifier->check(); };
    }
    corvanta::CorvantaApp app(prefs, platform, std::move(options));
    appForUpdates = &app;

    corvanta::TerminationSignals termination;
    QObject::connect(&termination, &corvanta::TerminationSignals::received, &app.delegate(),
                     &corvanta::AppDelegate::requestQuit);
    QObject::connect(&instance, &corvanta::SingleInstance::reopenRequested, &app, [&app] {
        app.delegate().reopen(app.window() != nullptr && app.window()->isVisible());
    });

    if (!app.launch()) {
        std::fprintf(stderr, "corvanta: %s\n", qPrintable(app.errorString()));
        return 1;
    }
    corvanta::WidgetHostLauncher::startIfNone(QDBusConnection::sessionBus(),
                                              corvanta::WidgetHostLauncher::hostProgram(), &app);
    long frames = 0;
    if (reportFrames) {
        QObject::connect(app.window(), &QQuickWindow::frameSwapped, &app, [&frames, &sinceMain] {
            if (frames++ == 0) {
                std::fprintf(stderr, "corvanta: first frame after %.1f ms\n",
                             sinceMain.nsecsElapsed() / 1e6);
            }
        });
    }
    const int status = QApplication::exec();
    if (reportFrames) std::fprintf(stderr, "corvanta: %ld frames drawn\n", frames);
    return status;
}

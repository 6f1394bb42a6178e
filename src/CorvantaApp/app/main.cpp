// corvanta: the application. One per user and support folder: a second launch asks the first to
// show its window and ends.
#include <QtQml/qqmlextensionplugin.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QQuickWindow>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <variant>

#include "Localization/Localization.h"
#include "MenuBar/TrayPresence.h"
#include "Session/MiningSessionModel.h"
#include "Shell/AppDelegate.h"
#include "Shell/ControlStyle.h"
#include "Shell/CorvantaApp.h"
#include "Shell/DesktopActivation.h"
#include "Shell/DisplayCheck.h"
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
#include "corvanta/widgetkit/QtCaches.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

QString version() {
    return corvanta::infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QString());
}

// What the command line asks for. Read before the application object exists, so that --help
// and --version answer without a display.
struct Arguments {
    bool background = false;
    bool reportFrames = false;
};

// The parsed arguments, or the exit status when the command line is answered (help, version)
// or refused.
std::variant<Arguments, int> parseArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Corvanta: solo Bitcoin mining on this computer."));
    // Our own help option: Qt's adds --help-all, which would need the application object.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(versionOption);
    const QCommandLineOption background(
        QStringLiteral("background"),
        QStringLiteral("Start in the tray without opening the window (as at login); mining "
                       "resumes as it would with the window open."));
    // For the start-up benchmark: when the first frame is drawn, and how many are drawn.
    QCommandLineOption reportFrames(QStringLiteral("report-frames"));
    reportFrames.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(background);
    parser.addOption(reportFrames);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "corvanta: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "corvanta: unexpected argument %s (see --help)\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }
    if (parser.isSet(help)) {
        // Without an application object Qt cannot name the program.
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("corvanta"))),
                   stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("corvanta %s\n", qPrintable(version()));
        return 0;
    }
    return Arguments{parser.isSet(background), parser.isSet(reportFrames)};
}

// A user-started update check's answer, in a small window of its own: it shows whether or not
// the desktop runs a notification service, and with the main window closed.
void showUpdateAnswer(const corvanta::UpdateNotifier::Answer& answer,
                      corvanta::Platform& platform) {
    using Kind = corvanta::UpdateNotifier::Answer::Kind;
    auto* box = new QMessageBox(
        answer.kind == Kind::failed ? QMessageBox::Warning : QMessageBox::Information, answer.title,
        answer.text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setTextFormat(Qt::PlainText);
    if (answer.kind == Kind::newer && answer.page.isValid()) {
        QPushButton* open =
            box->addButton(corvanta::L(QStringLiteral("Ouvrir la page de téléchargement")),
                           QMessageBox::AcceptRole);
        QObject::connect(open, &QPushButton::clicked, box,
                         [&platform, page = answer.page] { platform.openUrl(page); });
    }
    box->addButton(corvanta::L(QStringLiteral("Fermer")), QMessageBox::RejectRole);
    box->show();
    box->raise();
    box->activateWindow();
}

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    const auto parsed = parseArguments(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Arguments arguments = std::get<Arguments>(parsed);
    const bool reportFrames = arguments.reportFrames;
    corvanta::widgetkit::keepQtCachesInTheUsersFolders();
    // A display that cannot be opened is no display: said once, and never an abort.
    if (const auto why = corvanta::whyNoDisplay()) {
        std::fprintf(stderr,
                     "corvanta: %s; running off screen (no window can be seen, no tray item)\n",
                     qPrintable(*why));
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
    QApplication::setApplicationVersion(version());
    QApplication::setDesktopFileName(QStringLiteral(CORVANTA_APP_ID));
    // The icon theme's icon for our id (the one the package installs), else the bundled mark.
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral(CORVANTA_APP_ID), QIcon(QStringLiteral(":/corvanta/icons/corvanta.svg"))));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString socket = corvanta::SingleInstance::socketName(
        QString::fromStdString(corvanta::BinaryLocator::applicationSupportDirectory().string()));
    if (corvanta::SingleInstance::forwardReopen(socket, corvanta::launchActivationToken())) {
        std::fprintf(stderr, "corvanta: already running; its window was asked to open\n");
        return 0;
    }
    corvanta::SingleInstance instance;
    if (!instance.listen(socket)) {
        std::fprintf(stderr, "corvanta: cannot hold the single-instance socket: %s\n",
                     qPrintable(instance.errorString()));
        return 1;
    }

    // A login item written by a copy of this program that has since gone, or by one that opened
    // its window at login, now starts this one in the background.
    corvanta::LaunchAtLogin().rewriteOutdated();
    corvanta::loadBundledFonts();
    // Before anything opens the settings: a damaged file is put right here, and said in the log.
    const corvanta::QtFileName settingsFile = corvanta::Preferences::defaultFile();
    const auto settingsNotice = corvanta::checkSettingsFile(settingsFile)
                                    .logLine(QFileInfo(settingsFile.shown()).fileName());
    // One store for every writer of the settings, so that each write counts for what the views
    // say of their saving.
    const corvanta::Preferences settings(settingsFile);
    corvanta::Localization::shared().keepLanguageIn(settings);
    corvanta::Prefs prefs{settings};
    corvanta::Platform platform{QDBusConnection::sessionBus()};
    corvanta::CorvantaApp::Options options;
    options.makeSession = [settingsNotice, settings](QObject* parent) -> QObject* {
        auto* session = new corvanta::MiningSessionModel(settings, QDBusConnection::sessionBus(),
                                                         QDBusConnection::systemBus(), {}, parent);
        if (settingsNotice) session->noteSettingsFileCheck(*settingsNotice);
        return session;
    };
    options.terminate = [] { QCoreApplication::exit(0); };
    options.makeTrayPresence = [](QObject* parent) {
        return new corvanta::TrayPresence(QDBusConnection::sessionBus(),
                                          corvanta::TrayPresence::desktopProbes(), parent);
    };
    if (const QString host = corvanta::WidgetHostLauncher::hostProgram(); !host.isEmpty()) {
        options.openWidgetGallery = [host] { corvanta::WidgetHostLauncher::openGallery(host); };
    }
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
            [&platform](const QUrl& page) { platform.openUrl(page); },
            [&platform](const corvanta::UpdateNotifier::Answer& answer) {
                showUpdateAnswer(answer, platform);
            });
        options.checkForUpdates = [&updateNotifier] { updateNotifier->check(); };
    }
    corvanta::CorvantaApp app(prefs, platform, std::move(options));
    appForUpdates = &app;
    if (updateNotifier) {
        QObject::connect(updateNotifier.get(), &corvanta::UpdateNotifier::runningChanged,
                         &app.delegate(), &corvanta::AppDelegate::setUpdateChecking);
    }

    corvanta::TerminationSignals termination;
    QObject::connect(&termination, &corvanta::TerminationSignals::received, &app.delegate(),
                     &corvanta::AppDelegate::requestQuit);
    QObject::connect(&instance, &corvanta::SingleInstance::reopenRequested, &app,
                     [&app](const QByteArray& token) { app.reopenFromLaunch(token); });

    if (!app.launch(arguments.background)) {
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

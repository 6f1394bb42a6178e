#include "Shell/WidgetHostLauncher.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

#include "corvanta/widgetkit/HostBus.h"

namespace corvanta::WidgetHostLauncher {

namespace {

void start(const QString& program, QStringList arguments = {}) {
    QProcess host;
    host.setProgram(program);
    host.setArguments(QStringList{QStringLiteral("--started-by-app")} + arguments);
    // Its own session: a Ctrl+C in the application's terminal or the application's end is not
    // the host's.
    host.setChildProcessModifier([] { ::setsid(); });
    host.setStandardInputFile(QProcess::nullDevice());
    if (!host.startDetached()) {
        qWarning("corvanta: could not start the widget host %s", qPrintable(program));
    }
}

}  // namespace

QString hostProgram() {
    // Off screen there is no desktop to show widgets on.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return {};
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {QStringLiteral("corvanta-widget-host"), QStringLiteral("../bin/corvanta-widget-host")}) {
        const QFileInfo file(folder.filePath(candidate));
        if (file.isFile() && file.isExecutable()) return file.canonicalFilePath();
    }
    return {};
}

QObject* startIfNone(QDBusConnection bus, const QString& program, QObject* context) {
    if (program.isEmpty()) return nullptr;
    if (!bus.isConnected()) {
        start(program);
        return nullptr;
    }
    auto ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << QString::fromLatin1(widgetkit::hostBus::service);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, program] {
        watcher->deleteLater();
        const QDBusPendingReply<bool> reply = *watcher;
        if (reply.isError() || !reply.value()) start(program);
    });
    return watcher;
}

void openGallery(const QString& program) {
    if (!program.isEmpty()) start(program, {QStringLiteral("--gallery")});
}

}  // namespace corvanta::WidgetHostLauncher

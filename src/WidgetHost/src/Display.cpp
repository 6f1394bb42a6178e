#include "corvanta/host/Display.h"

#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace corvanta::host {
namespace {

QString environment(const char* name) {
    return qEnvironmentVariable(name);
}

// Which display was asked for, as the user would name it.
QString namedDisplay() {
    QStringList named;
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        if (const QString value = environment(name); !value.isEmpty()) {
            named << QStringLiteral("%1=%2").arg(QString::fromLatin1(name), value);
        }
    }
    return named.join(QStringLiteral(", "));
}

// Called from inside the application object's constructor: nothing of the host has started yet
// (no lock, no window, no file written), so ending at once loses nothing, and running the
// static destructors of a half-made application could.
void exitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    std::fprintf(stderr,
                 "corvanta-widget-host: the display could not be opened (%s); the widgets "
                 "need a desktop to be shown on\n",
                 qPrintable(namedDisplay()));
    std::fflush(nullptr);
    std::_Exit(noDisplayStatus);
}

}  // namespace

std::optional<QString> missingDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!environment(name).isEmpty()) return std::nullopt;
    }
    return QStringLiteral(
        "no display: neither DISPLAY nor WAYLAND_DISPLAY is set; the widgets need a desktop to be "
        "shown on");
}

DisplayFailureExit::DisplayFailureExit() {
    qInstallMessageHandler(exitOnFatal);
}

DisplayFailureExit::~DisplayFailureExit() {
    // Back to Qt's own handler.
    qInstallMessageHandler(nullptr);
}

}  // namespace corvanta::host

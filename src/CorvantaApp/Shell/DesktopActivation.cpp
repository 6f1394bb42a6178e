#include "Shell/DesktopActivation.h"

#include <QGuiApplication>
#include <QWindow>

namespace corvanta {

// In the X11 part, kept apart from Qt's names.
bool x11ActivateWindow(unsigned long window, unsigned long userTime, const QByteArray& startupId);
bool x11MoveToCurrentDesktop(unsigned long window, bool managed);

QByteArray launchActivationToken() {
    for (const char* name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty()) return value;
    }
    return {};
}

std::optional<unsigned long> startupIdTime(const QByteArray& startupId) {
    const qsizetype at = startupId.lastIndexOf("_TIME");
    if (at < 0) return std::nullopt;
    const QByteArray digits = startupId.mid(at + 5);
    bool ok = false;
    const qulonglong time = digits.toULongLong(&ok);
    // X11 times are 32-bit; 0 is CurrentTime, which no launcher sends as its own.
    if (!ok || time == 0 || time > 0xffffffffULL) return std::nullopt;
    return static_cast<unsigned long>(time);
}

void moveToCurrentDesktop(QWindow& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    x11MoveToCurrentDesktop(window.winId(), window.isVisible());
}

void activateForLaunch(QWindow& window, const QByteArray& token) {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")) && !token.isEmpty()) {
        // The Wayland platform hands this token to the compositor with the next activation.
        qputenv("XDG_ACTIVATION_TOKEN", token);
    }
    window.raise();
    window.requestActivate();
    if (platform == QLatin1String("xcb")) {
        // Qt asks with the time of the last event it saw, which a window manager that prevents
        // focus stealing takes as older than the user's launch: the launch's own time is asked
        // with, and the launcher is told the start has ended.
        x11ActivateWindow(window.winId(), startupIdTime(token).value_or(0), token);
    }
}

}  // namespace corvanta

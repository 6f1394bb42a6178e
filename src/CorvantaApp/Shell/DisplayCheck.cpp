#include "Shell/DisplayCheck.h"

#include <xcb/xcb.h>

#include <QtGlobal>

namespace corvanta {
namespace {

QString why(int xcbError) {
    switch (xcbError) {
        case XCB_CONN_CLOSED_PARSE_ERR:
            return QStringLiteral("it is no display name");
        case XCB_CONN_CLOSED_INVALID_SCREEN:
            return QStringLiteral("it has no such screen");
        default:
            return QStringLiteral("no X server answers there, or it refused the connection");
    }
}

// Connecting is the one honest test: a socket that exists may have no server behind it, and a
// server may refuse this user. Asked as the xcb platform asks it, from the same DISPLAY and
// authority file; the connection is closed at once.
std::optional<QString> whyXDisplayFails(const QString& display) {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error == 0) return std::nullopt;
    return QStringLiteral("the display %1 cannot be opened (%2)").arg(display, why(error));
}

}  // namespace

std::optional<QString> whyNoDisplay() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString x = qEnvironmentVariable("DISPLAY");
    if (!platform.isEmpty() || !wayland.isEmpty()) return std::nullopt;
    if (x.isEmpty()) return QStringLiteral("no display found");
    return whyXDisplayFails(x);
}

}  // namespace corvanta

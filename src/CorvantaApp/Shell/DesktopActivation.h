#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QWindow;

namespace corvanta {

// The launcher's token for a start that ends in an already running instance: the X11
// startup-notification id (DESKTOP_STARTUP_ID) or the Wayland activation token
// (XDG_ACTIVATION_TOKEN), whichever the launcher gave; empty when it gave none.
QByteArray launchActivationToken();

// The user time an X11 startup id carries ("…_TIME<n>"), which tells the window manager that the
// activation follows the user's own launch; none when it carries none.
std::optional<unsigned long> startupIdTime(const QByteArray& startupId);

// Puts `window` on the desktop (workspace) the user is on: a shown or minimized window is moved
// there, a closed one is mapped there when it is shown next. Only where the window manager keeps
// desktops of its own (X11); elsewhere nothing.
void moveToCurrentDesktop(QWindow& window);

// Brings `window` to the front and gives it the focus the way the desktop expects for a launch
// that the user started: with the launcher's token where the platform takes one, and the
// launcher's startup feedback ended.
void activateForLaunch(QWindow& window, const QByteArray& token);

}  // namespace corvanta

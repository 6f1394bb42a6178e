// Kept apart: Xlib's macros (None, Bool, Status…) clash with Qt's names.
#include <QGuiApplication>

#include <X11/Xlib.h>

#include <string>

#include "MenuBar/TrayPresence.h"

namespace corvanta {

bool x11SystemTrayOwned() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return false;
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

}  // namespace corvanta

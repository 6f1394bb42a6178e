// Kept apart: Xlib's macros (None, Bool, Status…) clash with Qt's names.
#include <QByteArray>
#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace corvanta {
namespace {

Display* qtDisplay() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

// The startup-notification "remove" message: the launcher's busy feedback ends. Sent in 20-byte
// pieces, the first under the _BEGIN type, as the protocol asks.
void endStartupFeedback(Display* display, Window from, const QByteArray& startupId) {
    QByteArray message = "remove: ID=\"";
    for (const char c : startupId) {
        if (c == '"' || c == '\\') message += '\\';
        message += c;
    }
    message += '"';
    message += '\0';
    const Window root = DefaultRootWindow(display);
    const Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
    const Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
    for (qsizetype offset = 0; offset < message.size(); offset += 20) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = from;
        event.xclient.message_type = offset == 0 ? begin : more;
        event.xclient.format = 8;
        const qsizetype length = std::min<qsizetype>(20, message.size() - offset);
        std::memcpy(event.xclient.data.b, message.constData() + offset, size_t(length));
        XSendEvent(display, root, False, PropertyChangeMask, &event);
    }
}

// A window's or the root's one-number property; none when it is not set.
std::optional<long> cardinal(Display* display, Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &items, &after, &data);
    std::optional<long> value;
    if (status == Success && type == XA_CARDINAL && format == 32 && items == 1) {
        value = *reinterpret_cast<const long*>(data);
    }
    if (data != nullptr) XFree(data);
    return value;
}

}  // namespace

bool x11MoveToCurrentDesktop(unsigned long window, bool managed) {
    Display* display = qtDisplay();
    if (display == nullptr || window == 0) return false;
    const Window root = DefaultRootWindow(display);
    const auto current = cardinal(display, root, "_NET_CURRENT_DESKTOP");
    if (!current) return false;
    const Atom desktopAtom = XInternAtom(display, "_NET_WM_DESKTOP", False);
    if (!managed) {
        // A window about to be mapped says where it wants to be; a desktop it was on when it was
        // closed would otherwise be taken up again.
        const long value = *current;
        XChangeProperty(display, window, desktopAtom, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XFlush(display);
        return true;
    }
    const auto on = cardinal(display, window, "_NET_WM_DESKTOP");
    // On every desktop, or already on this one: nothing to move.
    constexpr long kAllDesktops = 0xFFFFFFFF;
    if (!on || *on == *current || (*on & kAllDesktops) == kAllDesktops) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = desktopAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = *current;
    event.xclient.data.l[1] = 1;  // from an application
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
    return true;
}

bool x11ActivateWindow(unsigned long window, unsigned long userTime, const QByteArray& startupId) {
    Display* display = qtDisplay();
    if (display == nullptr || window == 0) return false;
    const Window root = DefaultRootWindow(display);
    if (userTime != 0) {
        const Atom userTimeAtom = XInternAtom(display, "_NET_WM_USER_TIME", False);
        const long value = long(userTime);
        XChangeProperty(display, window, userTimeAtom, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // from an application
    event.xclient.data.l[1] = long(userTime);
    event.xclient.data.l[2] = 0;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    if (!startupId.isEmpty()) endStartupFeedback(display, window, startupId);
    XFlush(display);
    return true;
}

}  // namespace corvanta

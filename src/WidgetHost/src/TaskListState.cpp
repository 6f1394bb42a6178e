#include "corvanta/host/TaskListState.h"

#include <QGuiApplication>
#include <QWindow>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <xcb/xcb.h>

namespace corvanta::host {
namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, std::string_view name) {
    const auto cookie = xcb_intern_atom(connection, 0, std::uint16_t(name.size()), name.data());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

void keepOffTaskList(QWindow& window) {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    window.create();
    const std::array states{atomNamed(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                            atomNamed(connection, "_NET_WM_STATE_SKIP_PAGER")};
    const xcb_atom_t property = atomNamed(connection, "_NET_WM_STATE");
    if (property == XCB_ATOM_NONE || states[0] == XCB_ATOM_NONE || states[1] == XCB_ATOM_NONE) {
        return;
    }
    // Appended: Qt merges its own states (below) into what the property already holds when the
    // window maps.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, xcb_window_t(window.winId()), property,
                        XCB_ATOM_ATOM, 32, std::uint32_t(states.size()), states.data());
    xcb_flush(connection);
}

}  // namespace corvanta::host

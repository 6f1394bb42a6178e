#pragma once

class QWindow;

namespace corvanta::host {

// Asks the window manager to leave `window` out of task lists and pagers
// (_NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER): a widget is part of the desktop, not a
// window to switch to. Set before the window is first mapped, where Qt keeps states it did not set
// itself; nothing happens off X11.
void keepOffTaskList(QWindow& window);

}  // namespace corvanta::host

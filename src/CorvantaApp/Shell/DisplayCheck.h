#pragma once

#include <QString>

#include <optional>

namespace corvanta {

// Why the application cannot draw on a display, decided before the application object is made:
// Qt aborts the program when the display it is given cannot be opened. None when a display is
// there to open, or one is named that Qt alone can try (a platform chosen through QT_QPA_PLATFORM,
// a Wayland display). Without any display named: "no display found"; with an X display (DISPLAY
// alone) that does not open as Qt's xcb platform would open it (no server there, access refused,
// no such screen): which one and why. Either way the application runs off screen.
std::optional<QString> whyNoDisplay();

}  // namespace corvanta

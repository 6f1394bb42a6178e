#pragma once

#include <QString>
#include <optional>

namespace corvanta::host {

// The exit status of a host that found no display to show its widgets on.
inline constexpr int noDisplayStatus = 1;
// The exit status of a host asked for its gallery with nothing to offer in it.
inline constexpr int nothingToShowStatus = 1;

// Why no window could be shown here, or none when a display is named: neither DISPLAY nor
// WAYLAND_DISPLAY is set and no platform is chosen through QT_QPA_PLATFORM.
std::optional<QString> missingDisplay();

// Held while the application object is made. A display that is named but cannot be opened (no
// server there, access refused, no plug-in for it) makes Qt give up with a fatal message, which
// aborts the program; with this guard the program says which display could not be opened and
// ends with noDisplayStatus instead. Qt's other messages meanwhile are written as Qt writes them.
class DisplayFailureExit {
  public:
    DisplayFailureExit();
    ~DisplayFailureExit();
    DisplayFailureExit(const DisplayFailureExit&) = delete;
    DisplayFailureExit& operator=(const DisplayFailureExit&) = delete;
};

}  // namespace corvanta::host

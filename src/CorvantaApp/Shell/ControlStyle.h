#pragma once

#include <QPalette>

class QQuickWindow;

namespace corvanta {

class Theme;

// One look for every control, in the application and in its tests alike: Qt Quick Controls'
// Basic style (whatever the desktop's default), drawn with a palette taken from the theme, so
// switches, buttons, pickers, fields and scroll bars follow the light and dark palettes and the
// accent marks what is on or chosen.

// Before the first QML engine is made.
void useControlStyle();

// The palette the Basic style draws with, from the theme's colours as they stand: the accent for
// what is on, checked or highlighted ("dark" and "highlight" in the style's words), the card
// colours for fields and pop-ups, the theme's texts.
QPalette controlPalette(const Theme& theme);

// Gives `window` and every control and pop-up in it `palette`.
void applyControlPalette(QQuickWindow& window, const QPalette& palette);

// Keeps the palette of the application's Qt Quick windows in step with `theme` from now on, a
// switch of theme included (the windows of the engine that made the theme are there by then).
void followThemeWithControls(Theme& theme);

}  // namespace corvanta

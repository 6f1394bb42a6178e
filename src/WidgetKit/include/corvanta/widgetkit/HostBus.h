#pragma once

// Where the widget host answers on the session bus.
namespace corvanta::widgetkit::hostBus {

inline constexpr char service[] = "rigwell.WidgetHost";
inline constexpr char path[] = "/WidgetHost";
inline constexpr char interface[] = "rigwell.WidgetHost";
inline constexpr char reloadAll[] = "ReloadAllTimelines";
inline constexpr char reloadKind[] = "ReloadTimelines";
inline constexpr char openGallery[] = "OpenGallery";

}  // namespace corvanta::widgetkit::hostBus

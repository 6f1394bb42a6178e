#pragma once

#include <filesystem>

namespace corvanta::widgetkit {

// The folder the host and the widgets keep their own settings in: $XDG_CONFIG_HOME/Corvanta, or
// ~/.config/Corvanta when it is unset or not absolute, by the rules of userFolders (the temporary
// folder when the user has no home at all).
std::filesystem::path corvantaConfigFolder();

}  // namespace corvanta::widgetkit

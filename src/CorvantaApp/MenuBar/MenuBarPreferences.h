#pragma once

#include "SystemServices/Preferences.h"

namespace corvanta {

namespace MenuBarPreferences {
// "rigwell.showInMenuBar" when it holds a Boolean, else true.
bool showInMenuBar(const Preferences& preferences);
}  // namespace MenuBarPreferences

}  // namespace corvanta

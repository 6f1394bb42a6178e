#include "MenuBar/MenuBarPreferences.h"

namespace corvanta {

bool MenuBarPreferences::showInMenuBar(const Preferences& preferences) {
    return preferences.boolean(QStringLiteral("rigwell.showInMenuBar")).value_or(true);
}

}  // namespace corvanta

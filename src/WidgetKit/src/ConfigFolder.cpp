#include "corvanta/widgetkit/ConfigFolder.h"

#include "corvanta/support/UserFolders.h"

namespace corvanta::widgetkit {

std::filesystem::path corvantaConfigFolder() {
    // Without any home the widgets still place and move: kept for this boot only.
    return userFolders::configHome().value_or(std::filesystem::temp_directory_path()) / "Corvanta";
}

}  // namespace corvanta::widgetkit

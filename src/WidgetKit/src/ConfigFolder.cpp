#include "corvanta/widgetkit/ConfigFolder.h"

#include <cstdlib>

namespace corvanta::widgetkit {

std::filesystem::path corvantaConfigFolder() {
    std::filesystem::path config;
    if (const char* value = std::getenv("XDG_CONFIG_HOME");
        value && std::filesystem::path(value).is_absolute()) {
        config = value;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    } else {
        config = std::filesystem::temp_directory_path();
    }
    return config / "Corvanta";
}

}  // namespace corvanta::widgetkit

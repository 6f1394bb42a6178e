#include "AppTestEnvironment.h"

#include <sys/stat.h>

#include <cstdlib>

#include "Shell/ControlStyle.h"

namespace corvanta::testing {

void useHeadlessEnvironment(const std::filesystem::path& root) {
    const auto folder = [&](const char* name) {
        const auto path = root / name;
        std::filesystem::create_directories(path);
        return path.string();
    };
    setenv("HOME", folder("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder("config").c_str(), 1);
    setenv("XDG_DATA_HOME", folder("data").c_str(), 1);
    setenv("XDG_CACHE_HOME", folder("cache").c_str(), 1);
    setenv("XDG_STATE_HOME", folder("state").c_str(), 1);
    const std::string runtime = folder("runtime");
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "DISPLAY",
                             "WAYLAND_DISPLAY", "CORVANTA_SUPPORT_DIR"}) {
        unsetenv(name);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_QUICK_BACKEND", "software", 1);
    // The application's own control style, set the way the application sets it.
    unsetenv("QT_QUICK_CONTROLS_STYLE");
    useControlStyle();
}

}  // namespace corvanta::testing

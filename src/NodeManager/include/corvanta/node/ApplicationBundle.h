#pragma once

#include <filesystem>
#include <optional>

#include "corvanta/support/StrictJson.h"

namespace corvanta {

// The application's installed resources and its build-time info table.
struct ApplicationBundle {
    // Where the application's resources lie; none when it cannot be told.
    std::optional<std::filesystem::path> resourceDirectory;
    // Key/value table fixed at build time (a JSON object).
    json::Value info = json::Value::object();

    // The running application: resources beside its executable (the folder holding
    // /proc/self/exe), info from the build (CRVBundledNodeSHA256 when the build recorded a
    // bundled node's digest).
    static const ApplicationBundle& main();
};

}  // namespace corvanta

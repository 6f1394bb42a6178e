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

    // The running application (the folder holding /proc/self/exe), info from the build
    // (CRVBundledNodeSHA256 when the build recorded a bundled node's digest).
    static const ApplicationBundle& main();

    // Where the resources of a program in `programDirectory` lie: its installed resource folder
    // (`installedRelative` from the program's folder, as laid out by the install: bin/ and
    // libexec/corvanta/) when that folder exists, else the program's own folder (the build
    // folder's form, Node/ beside the program).
    static std::filesystem::path resourceDirectoryFor(
        const std::filesystem::path& programDirectory,
        const std::filesystem::path& installedRelative);
};

}  // namespace corvanta

#pragma once

#include <filesystem>
#include <optional>

namespace corvanta::quarantine {

// Where an undecodable store file is put aside: "<name>.unreadable-<seconds since 1970>.json" in
// its own folder.
std::filesystem::path asideLocation(const std::filesystem::path& file);

struct Outcome {
    // Where the damaged contents now lie (the file's own place when nothing could be saved).
    std::filesystem::path location;
    // False when the contents could be neither moved nor copied aside: the owner must then never
    // write over the file, or the only copy of the user's records would be lost.
    bool preserved;
};

// Moves the file aside; when the move fails, copies it aside instead.
Outcome putAside(const std::filesystem::path& file);

}  // namespace corvanta::quarantine

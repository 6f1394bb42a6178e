#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "UnprivilegedUser.h"

namespace corvanta::testing {

// Takes every name an undecodable store file could be put aside under in the next seconds, so
// that it can be neither moved nor copied aside.
inline void occupyAsideNames(const std::filesystem::path& file) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    for (auto s = now; s < now + 5; ++s) {
        std::filesystem::create_directories(
            file.parent_path() /
            (file.stem().string() + ".unreadable-" + std::to_string(s) + ".json") / "x");
    }
}

}  // namespace corvanta::testing

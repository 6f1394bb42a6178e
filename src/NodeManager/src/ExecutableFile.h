#pragma once

#include <filesystem>

namespace corvanta {

// A regular file (after following links) that this process may execute. A directory with its
// search bit set does not count.
bool isExecutableFile(const std::filesystem::path& path);

}  // namespace corvanta

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvanta::sysfs {

// The attribute's text without surrounding white space; nullopt when it cannot be read (sysfs
// attributes of a sleeping or removed device fail with an I/O error).
std::optional<std::string> readAttribute(const std::filesystem::path& path);

// The attribute as a decimal integer; nullopt when unreadable or not a whole number.
std::optional<long long> readInteger(const std::filesystem::path& path);

// The entries of `folder` whose names start with `prefix`, sorted; empty when it cannot be listed.
std::vector<std::filesystem::path> entriesStartingWith(const std::filesystem::path& folder,
                                                       std::string_view prefix);

}  // namespace corvanta::sysfs

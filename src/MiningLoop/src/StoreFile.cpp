#include "StoreFile.h"

#include <string>

#include "corvanta/support/SetAside.h"

namespace corvanta::storefile {

std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file) {
    return renameAside(file);
}

Outcome putAside(const std::filesystem::path& file) {
    if (auto aside = renameAside(file)) return {*aside, true};
    const auto aside = corvanta::asideLocation(file);
    std::error_code error;
    std::filesystem::copy_file(file, aside, std::filesystem::copy_options::none, error);
    if (!error) return {aside, true};
    return {file, false};
}

}  // namespace corvanta::storefile

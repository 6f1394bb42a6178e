#include "StoreFile.h"

#include <chrono>
#include <string>

namespace corvanta::storefile {

std::filesystem::path asideLocation(const std::filesystem::path& file) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return file.parent_path() /
           (file.stem().string() + ".unreadable-" + std::to_string(seconds) + ".json");
}

Outcome putAside(const std::filesystem::path& file) {
    const auto aside = asideLocation(file);
    std::error_code error;
    std::filesystem::rename(file, aside, error);
    if (!error) return {aside, true};
    std::filesystem::copy_file(file, aside, std::filesystem::copy_options::none, error);
    if (!error) return {aside, true};
    return {file, false};
}

}  // namespace corvanta::storefile

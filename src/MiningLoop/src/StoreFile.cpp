#include "StoreFile.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
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

std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file) {
    const auto first = asideLocation(file);
    // Never over an earlier one set aside in the same second.
    for (int attempt = 1; attempt < 100; ++attempt) {
        auto aside = first;
        if (attempt > 1) {
            aside.replace_filename(first.stem().string() + "-" + std::to_string(attempt) +
                                   first.extension().string());
        }
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return aside;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
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

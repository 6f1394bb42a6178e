#include "corvanta/support/SetAside.h"

#include <fcntl.h>
#include <stdio.h>

#include <chrono>

namespace corvanta {

std::filesystem::path asideLocation(const std::filesystem::path& file) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return file.parent_path() /
           (file.stem().string() + ".unreadable-" + std::to_string(seconds) + ".json");
}

std::optional<std::filesystem::path> renameAside(const std::filesystem::path& file) {
    auto aside = asideLocation(file);
    if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
        return std::nullopt;
    }
    return aside;
}

std::string unusableText(bool tooLarge, bool link, std::size_t maxBytes) {
    if (tooLarge) {
        const auto bound = maxBytes >= (std::size_t(1) << 20)
                               ? std::to_string(maxBytes >> 20) + " MiB"
                               : std::to_string(maxBytes >> 10) + " KiB";
        return "is larger than " + bound + ", more than it ever holds";
    }
    return link ? "is a symbolic link, which is never followed" : "is not a regular file";
}

std::optional<std::string> unusableReason(const FileReadError& error, std::size_t maxBytes) {
    if (!error.isTooLarge() && error.reason() != FileReadError::Reason::notRegular) {
        return std::nullopt;
    }
    return unusableText(error.isTooLarge(), error.isLink(), maxBytes);
}

}  // namespace corvanta

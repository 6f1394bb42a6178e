#pragma once

// What a careless or hostile environment puts where the application keeps a file: a huge sparse
// file, a FIFO, a symbolic link, a folder. Each is to be set aside whole, by rename: never read,
// never copied, never written through, never removed.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace corvanta::testing {

enum class OddKind { hugeSparseFile, fifo, link, folder };

inline const std::vector<OddKind> everyOddKind{OddKind::hugeSparseFile, OddKind::fifo,
                                               OddKind::link, OddKind::folder};

inline std::string nameOf(OddKind kind) {
    switch (kind) {
        case OddKind::hugeSparseFile:
            return "a 1 GiB sparse file";
        case OddKind::fifo:
            return "a FIFO";
        case OddKind::link:
            return "a symbolic link";
        case OddKind::folder:
            return "a folder";
    }
    return "?";
}

struct PlacedOdd {
    OddKind kind;
    ino_t inode = 0;
    // The link's target, a regular file outside the folder holding `linkedText`.
    std::filesystem::path linkTarget;
    std::string linkedText;
};

// Puts `kind` at `path`; a link points to a regular file in `outside` that holds `linkedText`
// (text a reader following the link would take for the file).
inline PlacedOdd placeOdd(OddKind kind, const std::filesystem::path& path,
                          const std::filesystem::path& outside, const std::string& linkedText) {
    namespace fs = std::filesystem;
    fs::create_directories(path.parent_path());
    PlacedOdd placed{kind, 0, {}, {}};
    switch (kind) {
        case OddKind::hugeSparseFile:
            writeText(path, linkedText);
            fs::resize_file(path, std::uintmax_t(1) << 30);
            break;
        case OddKind::fifo:
            ::mkfifo(path.c_str(), 0600);
            break;
        case OddKind::link:
            fs::create_directories(outside);
            placed.linkTarget = outside / ("target-of-" + path.filename().string());
            placed.linkedText = linkedText;
            writeText(placed.linkTarget, linkedText);
            fs::create_symlink(placed.linkTarget, path);
            break;
        case OddKind::folder:
            fs::create_directories(path / "inside");
            break;
    }
    struct stat status {};
    ::lstat(path.c_str(), &status);
    placed.inode = status.st_ino;
    return placed;
}

// Puts at `path` a symbolic link to `target`, whatever is there (or nothing): set aside, it is to
// stay a link to `target`.
inline PlacedOdd placeLink(const std::filesystem::path& path, const std::filesystem::path& target) {
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::create_symlink(target, path);
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return {OddKind::link, status.st_ino, target, {}};
}

// Every entry under `folder`, links not followed, as "path kind size blocks inode [link text or
// the text of a small regular file]": equal before and after when nothing there was touched.
inline std::vector<std::string> snapshotOf(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        std::string line = entry.path().string() + " " + std::to_string(status.st_mode) + " " +
                           std::to_string(status.st_size) + " " + std::to_string(status.st_blocks) +
                           " " + std::to_string(status.st_ino);
        if (S_ISLNK(status.st_mode)) line += " -> " + fs::read_symlink(entry.path()).string();
        if (S_ISREG(status.st_mode) && status.st_size < (1 << 20)) {
            line += " " + readText(entry.path());
        }
        entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Where in `folder` the very thing placed now lies (same inode, same kind), other than `at`.
inline std::optional<std::filesystem::path> whereSetAside(const PlacedOdd& placed,
                                                          const std::filesystem::path& folder,
                                                          const std::filesystem::path& at) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path() == at) continue;
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || status.st_ino != placed.inode) continue;
        return entry.path();
    }
    return std::nullopt;
}

// The thing placed at `at` was set aside whole: renamed in its folder, still of its kind (a
// link still a link, its target as it was; a sparse file still sparse, not a byte added).
// Returns where it lies, or a description of what went wrong.
inline std::string checkSetAside(const PlacedOdd& placed, const std::filesystem::path& at) {
    namespace fs = std::filesystem;
    const auto aside = whereSetAside(placed, at.parent_path(), at);
    if (!aside) return "not set aside in its folder";
    struct stat status {};
    ::lstat(aside->c_str(), &status);
    switch (placed.kind) {
        case OddKind::hugeSparseFile:
            if (!S_ISREG(status.st_mode) || status.st_size != (off_t(1) << 30)) {
                return "the sparse file changed";
            }
            if (status.st_blocks * 512 > (1 << 20)) return "the sparse file was filled";
            break;
        case OddKind::fifo:
            if (!S_ISFIFO(status.st_mode)) return "no longer a FIFO";
            break;
        case OddKind::link:
            if (!S_ISLNK(status.st_mode)) return "no longer a link";
            if (fs::read_symlink(*aside) != placed.linkTarget) return "the link points elsewhere";
            if (!placed.linkedText.empty() && readText(placed.linkTarget) != placed.linkedText) {
                return "the target was changed";
            }
            break;
        case OddKind::folder:
            if (!S_ISDIR(status.st_mode) || !fs::exists(*aside / "inside")) {
                return "the folder changed";
            }
            break;
    }
    return "";
}

}  // namespace corvanta::testing

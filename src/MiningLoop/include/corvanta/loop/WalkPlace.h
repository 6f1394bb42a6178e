#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::HistoryReconciliation {

// How far the chain has been checked: every block of this installation up to `height` of the
// chain whose block there is `hashHex` (display order) is in the history on disk, which then held
// `records` records at or below that height, whose block hashes added up (exclusive or) to
// `digestHex`. Kept beside the node's own data, so it goes with the chain it speaks of, and a
// chain reorganised below it voids it. A history that later holds fewer records there, or others,
// has lost some: the place then vouches for nothing.
struct WalkedThrough {
    std::int64_t height = 0;
    std::string hashHex;
    std::int64_t records = 0;
    // 64 lower-case hex digits; none in a place written before it was kept.
    std::optional<std::string> digestHex = std::nullopt;
    bool operator==(const WalkedThrough&) const = default;
};

// Far above any honest file (under 200 bytes), and read whole only below it.
inline constexpr std::size_t walkPlaceFileBound = 256 * 1024;

struct WalkPlaceReading {
    // None when the file is missing, or of an earlier version: those counted the records from the
    // history as they found it at start, which may just have been lost, so they vouch for nothing.
    std::optional<WalkedThrough> place;
    // Why a file there could not be taken (not a regular file, a link, past the bound,
    // unreadable, undecodable); absent when it read or was missing.
    std::optional<std::string> problem;
    // Where it was moved; absent when it could not be moved, and then it must not be written
    // over: it is left for the user.
    std::optional<std::filesystem::path> setAside;
    bool mayWrite = true;
};

// Reads the file without ever blocking, never through a link, within walkPlaceFileBound on the
// open descriptor. One it cannot take is renamed aside in its folder
// ("<name>.unreadable-<seconds>.json") before anything is written in its place.
WalkPlaceReading readWalkPlace(const std::filesystem::path& file);

// Throws FileWriteError.
void writeWalkPlace(const std::filesystem::path& file, const WalkedThrough& place);

}  // namespace corvanta::HistoryReconciliation

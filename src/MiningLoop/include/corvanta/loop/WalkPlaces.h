#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "corvanta/assembly/CoinbasePayoutPlan.h"

namespace corvanta::HistoryReconciliation {

// How far the chain has been checked: every block of ours up to `height` of the chain whose block
// there is `hashHex` (display order) is in the history on disk, which then held `records` records
// at or below that height. Kept beside the node's own data, so it goes with the chain it speaks
// of, and a chain reorganised below it voids it. A history that later holds fewer records there
// has lost some: the place then vouches for nothing.
struct WalkedThrough {
    std::int64_t height = 0;
    std::string hashHex;
    std::int64_t records = 0;
    bool operator==(const WalkedThrough&) const = default;
};

// What is known of the blocks carrying one mark: how far the chain was checked for them, and the
// lowest height at which this installation mined with it (how deep a lost history is rebuilt).
struct MarkPlace {
    std::optional<WalkedThrough> walked;
    std::optional<std::int64_t> firstMined;
    bool operator==(const MarkPlace&) const = default;
};

// One place per mark: a mark is one payout script's, so an address change starts its own place
// and leaves the earlier one where its blocks still need it.
using WalkPlaces = std::map<ExtranonceMark, MarkPlace>;

// Far above any honest file (a mark's entry is under 200 bytes), and read whole only below it.
inline constexpr std::size_t walkPlacesFileBound = 256 * 1024;

struct WalkPlacesReading {
    WalkPlaces places;
    // Why a file there could not be taken (not a regular file, a link, past the bound,
    // unreadable, undecodable); absent when it read or was missing.
    std::optional<std::string> problem;
    // Where it was moved; absent when it could not be moved, and then it must not be written
    // over: it is left for the user.
    std::optional<std::filesystem::path> setAside;
    bool mayWrite = true;
};

// Reads the file without ever blocking, never through a link, within walkPlacesFileBound on the
// open descriptor. One it cannot take is renamed aside in its folder
// ("<name>.unreadable-<seconds>.json") before anything is written in its place. A file of the
// earlier form, one place without a mark, is read as the place of `currentMark`.
WalkPlacesReading readWalkPlaces(const std::filesystem::path& file,
                                 const ExtranonceMark& currentMark);

// Throws FileWriteError.
void writeWalkPlaces(const std::filesystem::path& file, const WalkPlaces& places);

}  // namespace corvanta::HistoryReconciliation

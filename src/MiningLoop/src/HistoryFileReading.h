#pragma once

// Reading the found-block history's file and journal at start-up, outside the store's lock: what
// they hold and what reading them set aside, for the store to take in one step.

#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "HistoryRecords.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta::loop {

struct HistoryReading {
    std::unique_ptr<HistoryRecords> records = std::make_unique<HistoryRecords>();
    std::optional<MiningHistoryStore::Folded> folded;
    // The file, when it could not be used: where it now lies.
    std::optional<std::filesystem::path> quarantined;
    // One event-log line for each file set aside.
    std::vector<std::string> notices;
    std::optional<std::string> unreadable;
    bool mayWrite = true;
    bool fileHoldsBase = false;
    // The journal: its lines, whether any was refused, and where it went when it was set aside
    // unread.
    std::size_t journalLines = 0;
    bool journalDamaged = false;
    std::optional<std::filesystem::path> journalSetAside;
};

// Reads `file`, then its journal, never past their bounds; what cannot be used is set aside as the
// store's contract says. Throws Cancelled once `stop` is requested, between two records; nothing
// is set aside after that.
HistoryReading readHistory(const std::filesystem::path& file, const std::filesystem::path& journal,
                           std::stop_token stop);

}  // namespace corvanta::loop

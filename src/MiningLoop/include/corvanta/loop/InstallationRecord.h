#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "corvanta/loop/BlockOwnership.h"

namespace corvanta {

// The installation's key file as the mining loop of one network keeps it: the key the marks
// derive from, and what a walk of that network's chain needs to rebuild a lost history (the
// lowest height mined at with each mark, and the floor below which no block of ours lies). Kept
// apart from the history, so that nothing lost with it can raise the floor: every height only
// ever goes down. Safe to use from several threads.
class InstallationRecord {
  public:
    // `key` as InstallationKey::keptIn gave it from `keyFolder`.
    InstallationRecord(std::filesystem::path keyFolder, InstallationKey key, std::string network);

    InstallationKey key() const;
    MinedOnNetwork mined() const;

    // The network is met, before any sync or mining, on a chain whose tip is at `chainHeight`.
    // The first time only (neither this record nor the file holds an entry for it), an entry is
    // kept for it, whose floor stays unknown until a walk from the lowest block finds it. Only
    // when the key kept every start and the chain holds nothing past its first block may this
    // record, and no other, take its first job for the floor, and only when that job is right
    // above the chain as met: that is true of this moment alone, a file read later (put back from
    // a copy, or left so by a full disk) cannot show it, and a chain that grew in between (a
    // first sync) may hold blocks of ours that the same marks derived again once made.
    // False when the file could not be written.
    bool meet(std::int64_t chainHeight);
    // Mining starts with `mark` at `height`: the mark's height, and the floor once it is known
    // (or, at this record's first job, known to be this height: see meet()), are lowered to it,
    // and written before any block can be found. False when the file could not be written: the
    // record is kept here and written with the next note.
    bool noteMiningAt(const ExtranonceMark& mark, std::int64_t height);
    // A walk checked the chain from the lowest block the node holds: no block of ours lies below
    // `height`. Sets the floor, or lowers it. False as above.
    bool noteFloor(std::int64_t height);

  private:
    bool writeLocked();
    // Takes in what the file holds; false when it may not be written over.
    bool mergeFileLocked();

    const std::filesystem::path file_;
    const std::string network_;
    mutable std::mutex mutex_;
    InstallationKey key_;
    // This record met the network on a chain holding nothing past its first block, and nothing
    // but this record has written the network's entry since: its first job is the floor.
    bool firstJobIsFloor_ = false;
    // The network's entry as this record last wrote it; none before its first write.
    std::optional<MinedOnNetwork> written_;
};

}  // namespace corvanta

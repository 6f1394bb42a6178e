#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/FoundBlock.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/WalkPlace.h"

namespace corvanta {

class RPCClient;

// Puts back into the history the blocks an earlier session found but could not write down (a
// full disk, then a quit): the chain still holds them, carrying this installation's mark.
namespace HistoryReconciliation {

// A place the chain no longer holds (reorganised below it) is walked again from this far below it:
// what lies under the fork is as it was.
inline constexpr std::int64_t lookBehind = 100;

// Where a walk may start.
struct WalkStart {
    std::optional<WalkedThrough> place;  // how far an earlier walk got, when kept
    // No block of this installation lies below this height; none while unknown, and the walk then
    // starts at the first block the node holds.
    std::optional<std::int64_t> floor;
};

struct HeightRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool operator==(const HeightRange&) const = default;
};

struct Walk {
    std::vector<FoundBlock> added;  // in height order; in memory at least (a failed write keeps
                                    // them there, as any record)
    std::int64_t from = 0;          // the first height asked about
    std::int64_t questions = 0;     // RPC calls made
    bool complete = false;          // every height up to `untilHeight` was asked about
    // It began at the lowest block the node holds: only then does it show where no block of ours
    // lies below (the floor). Not so for a walk that began above a place, above a folded summary
    // or at a known floor.
    bool fromLowestHeld = false;
    // The lowest height at which the chain holds a block of ours, recorded or added; none when
    // no height checked holds one.
    std::optional<std::int64_t> lowestOurs;
    // Heights that could not be checked because the node has pruned their blocks, in order.
    std::vector<HeightRange> pruned;
};

// True when the history no longer holds what `place` vouches for: its loading refused anything
// (see MiningHistoryStore::refusedAny), or it holds fewer or other records at or below the place
// than when the place was written (the file or its journal deleted, damaged or replaced by an
// older copy, a held block recorded in a missing one's stead).
bool historyLost(const MiningHistoryStore& history, const WalkedThrough& place);
// What a place written now vouches for, as its digestHex says it.
std::string digestHex(const MiningHistoryStore::Held& held);

// Walks the node's active chain up to `untilHeight` and records every block the history lacks
// whose coinbase carries this installation's mark for a script it pays (whatever payout address
// it was mined for), as a submission the node accepted, found at its header's time, with the
// height, coinbase id and reward of its own coinbase. Where it starts:
// - while the floor is unknown, at the lowest block the node holds, whatever the place says, so
//   that the walk can tell the floor;
// - just above the place, when the chain still has that block there and the history still holds
//   what the place vouches for;
// - lookBehind below a place the chain reorganised while the history is whole;
// - otherwise at the floor (a lost history is so rebuilt as deep as this installation has mined);
// never at a height a folded summary of the history covers (its blocks would count twice: with a
// summary and no floor, the place is taken as if the floor were known), and never below the
// lowest block a pruned node still holds: the heights below are reported as pruned, as is a block
// pruned while the walk goes on, and neither ends the walk.
//
// Per height it asks the block's hash, then, unless the history holds that block, the block's
// header and coinbase script (getblock at verbosity 1); only a block whose coinbase carries a mark
// has its coinbase transaction fetched (getrawtransaction in that block). A history that cannot be
// read is not walked. Any other RPC failure ends the walk with what it found; throws Cancelled.
Walk reconcile(MiningHistoryStore& history, const RPCClient& client,
               const BlockOwnership& ownership, const WalkStart& start, std::int64_t untilHeight,
               double timeoutSeconds, std::stop_token stop);

}  // namespace HistoryReconciliation
}  // namespace corvanta

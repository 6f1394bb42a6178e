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
#include "corvanta/loop/WalkPlaces.h"

namespace corvanta {

class MiningHistoryStore;
class RPCClient;

// Puts back into the history the blocks an earlier session found but could not write down (a
// full disk, then a quit): the chain still holds them, carrying this installation's mark.
namespace HistoryReconciliation {

// Without a place kept for the mark, the walk starts this far below the newest block the history
// holds (a failed write can leave a gap just below a later success)...
inline constexpr std::int64_t lookBehind = 100;
// ...and, knowing neither a place nor how deep this installation has mined, never more than this
// far below the height it walks to. With either known there is no such bound: blocks held in
// memory when a run ended come back however far the chain has grown since.
inline constexpr std::int64_t maximumDepth = 1000;

struct Walk {
    std::vector<FoundBlock> added;  // in height order; in memory at least (a failed write keeps
                                    // them there, as any record)
    std::int64_t from = 0;          // the first height asked about
    std::int64_t questions = 0;     // RPC calls made
    bool complete = false;          // every height up to `untilHeight` was checked
};

// True when the history no longer holds what `place` vouches for: its file was set aside as
// undecodable, or it holds fewer records at or below the place than when the place was written
// (the file or its journal deleted, damaged or replaced by an older copy).
bool historyLost(const MiningHistoryStore& history, const MarkPlace& place);

// Walks the node's active chain up to `untilHeight` and records every block the history lacks
// whose coinbase carries the ownership's mark and pays its script, as a submission the node
// accepted, found at its header's time, with the height, coinbase id and reward of its own
// coinbase. Where it starts, for the mark's `place`:
// - just above the place, when the chain still has that block there and the history still holds
//   what the place vouches for;
// - otherwise at the lowest height this installation mined at with the mark, when known (a lost
//   history is so rebuilt as deep as it has mined), but no deeper than lookBehind below a place
//   the chain reorganised while the history is whole;
// - otherwise lookBehind below the newest record of a whole history, and never more than
//   maximumDepth below `untilHeight`.
//
// Per height it asks the block's hash, then, unless the history holds that block, the block's
// header and coinbase script (getblock at verbosity 1); only a block carrying the mark has its
// coinbase transaction fetched (getrawtransaction in that block). A history that cannot be read is
// not walked. An RPC failure ends the walk with what it found; throws Cancelled.
Walk reconcile(MiningHistoryStore& history, const RPCClient& client,
               const BlockOwnership& ownership, const MarkPlace& place, std::int64_t untilHeight,
               double timeoutSeconds, std::stop_token stop);

}  // namespace HistoryReconciliation
}  // namespace corvanta

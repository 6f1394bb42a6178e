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

namespace corvanta {

class MiningHistoryStore;
class RPCClient;

// Puts back into the history the blocks an earlier session found but could not write down (a
// full disk, then a quit): the chain still holds them, carrying this installation's mark.
namespace HistoryReconciliation {

// Without a record of how far the chain was checked, the walk starts this far below the newest
// block the history holds (a failed write can leave a gap just below a later success)...
inline constexpr std::int64_t lookBehind = 100;
// ...and never more than this far below the height it walks to: a walk costs a bounded number of
// questions, and blocks deeper than this are left out.
inline constexpr std::int64_t maximumDepth = 1000;

// How far the chain has been checked: every block of ours up to `height` of the chain whose block
// there is `hashHex` (display order) is in the history on disk. Kept beside the node's own data,
// so it goes with the chain it speaks of, and a chain replaced or reorganised below it voids it.
struct WalkedThrough {
    std::int64_t height = 0;
    std::string hashHex;
    bool operator==(const WalkedThrough&) const = default;
};
// None when the file is missing, unreadable or out of shape.
std::optional<WalkedThrough> readWalkedThrough(const std::filesystem::path& file);
// Throws FileWriteError.
void writeWalkedThrough(const std::filesystem::path& file, const WalkedThrough& walked);

struct Walk {
    std::vector<FoundBlock> added;  // in height order; in memory at least (a failed write keeps
                                    // them there, as any record)
    std::int64_t from = 0;          // the first height asked about
    std::int64_t questions = 0;     // RPC calls made
    bool complete = false;          // every height up to `untilHeight` was checked
};

// Walks the node's active chain up to `untilHeight` and records every block the history lacks
// whose coinbase carries the ownership's mark and pays its script, as a submission the node
// accepted, found at its header's time, with the height, coinbase id and reward of its own
// coinbase. It starts just above `walked` when the chain still has that block there; else
// lookBehind below the newest record; else, with an empty history and no record, as deep as it
// may. Never deeper than maximumDepth below `untilHeight`.
//
// Per height it asks the block's hash, then, unless the history holds that block, the block's
// header and coinbase script (getblock at verbosity 1); only a block carrying the mark has its
// coinbase transaction fetched (getrawtransaction in that block). A history that cannot be read is
// not walked. An RPC failure ends the walk with what it found; throws Cancelled.
Walk reconcile(MiningHistoryStore& history, const RPCClient& client,
               const BlockOwnership& ownership, const std::optional<WalkedThrough>& walked,
               std::int64_t untilHeight, double timeoutSeconds, std::stop_token stop);

}  // namespace HistoryReconciliation
}  // namespace corvanta

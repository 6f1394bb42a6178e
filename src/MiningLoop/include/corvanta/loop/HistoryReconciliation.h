#pragma once

#include <cstdint>
#include <stop_token>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/loop/FoundBlock.h"

namespace corvanta {

class MiningHistoryStore;
class RPCClient;

// Puts back into the history the blocks an earlier session found but could not write down (a
// full disk, then a quit): the chain still holds them, paying the user's script.
namespace HistoryReconciliation {

// The walk starts this far below the newest block the history holds (records are written in the
// order blocks are found; a failed write can leave a gap just below a later success)...
inline constexpr std::int64_t lookBehind = 100;
// ...and never more than this far below the tip: a history whose newest block is old costs a
// bounded walk, and an empty one none at all.
inline constexpr std::int64_t maximumDepth = 1000;

// Walks the node's active chain from the newest block the history holds (less lookBehind) to the
// tip, at most maximumDepth blocks, and records every block whose coinbase pays `payoutScript`
// and that the history lacks, as a submission the node accepted, found at its header's time. A
// block the history holds is not fetched; a history that cannot be read is not walked. Returns the blocks added (in memory at least: a failed
// write keeps them there, as any record). An RPC failure ends the walk with what it found;
// throws Cancelled.
std::vector<FoundBlock> reconcile(MiningHistoryStore& history, const RPCClient& client,
                                  const Bytes& payoutScript, double timeoutSeconds,
                                  std::stop_token stop);

}  // namespace HistoryReconciliation
}  // namespace corvanta

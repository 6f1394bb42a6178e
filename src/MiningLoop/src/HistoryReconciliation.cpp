#include "corvanta/loop/HistoryReconciliation.h"

#include <algorithm>

#include "DisplayHex.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta::HistoryReconciliation {

std::vector<FoundBlock> reconcile(MiningHistoryStore& history, const RPCClient& client,
                                  const Bytes& payoutScript, double timeoutSeconds,
                                  std::stop_token stop) {
    std::vector<FoundBlock> added;
    // A history that cannot be read may hold any of the blocks: they are compared with it once it
    // reads, when a later start walks again.
    if (history.unreadableReason()) return added;
    const auto newest = history.newestHeight();
    if (!newest || payoutScript.empty()) return added;
    try {
        const auto tip = json::as<std::int64_t>(
            client.call("getblockcount", {}, timeoutSeconds, stop), "getblockcount");
        const auto from = std::max({std::int64_t(0), *newest - lookBehind, tip - maximumDepth + 1});
        for (auto height = from; height <= tip; ++height) {
            throwIfStopRequested(stop);
            const auto hashHex = json::as<std::string>(
                client.call("getblockhash", {RPCParam::integer(height)}, timeoutSeconds, stop),
                "getblockhash");
            if (history.contains(loop::hashBytesOfDisplayHex(hashHex))) continue;
            const auto raw = BitcoinEncoding::hexBytes(json::as<std::string>(
                client.call("getblock", {RPCParam::string(hashHex), RPCParam::integer(0)},
                            timeoutSeconds, stop),
                "getblock"));
            const auto block = raw ? BlockCoinbase::decode(*raw) : std::nullopt;
            // A block that is not the one asked for proves nothing.
            if (!block || loop::displayHex(block->blockHash) != hashHex) continue;
            const auto sats = block->satsPaidTo(payoutScript);
            if (sats <= 0) continue;
            const Bytes blockHash(block->blockHash.begin(), block->blockHash.end());
            const Bytes coinbaseTxID(block->coinbaseTxID.begin(), block->coinbaseTxID.end());
            const auto foundAt = WallClock::time_point(std::chrono::seconds(block->time));
            FoundBlock recorded;
            try {
                recorded = history.recordSubmission(height, blockHash, coinbaseTxID, sats,
                                                    {SubmissionResult::Accepted{}}, foundAt);
            } catch (const FileWriteError&) {
                // Held in memory; it reaches the file with the next write that succeeds.
                recorded = history.allBlocks().back();
            }
            added.push_back(recorded);
        }
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception&) {
        // The node could not answer: what was found so far stays; the next start walks again.
    }
    return added;
}

}  // namespace corvanta::HistoryReconciliation

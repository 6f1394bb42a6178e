#include "corvanta/loop/HistoryReconciliation.h"

#include <algorithm>

#include "DisplayHex.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::HistoryReconciliation {
namespace {

// What getblock at verbosity 1 says of a block that the walk needs: never the transaction list
// beyond its first entry.
struct BlockSummary {
    std::string hashHex;
    std::int64_t height = 0;
    std::uint32_t time = 0;
    std::string coinbaseTxIDHex;
    std::optional<Bytes> coinbaseScript;  // absent from nodes older than the coinbase_tx field
};

BlockSummary summaryOf(const json::Value& block) {
    BlockSummary summary;
    summary.hashHex = json::required<std::string>(block, "hash");
    summary.height = json::required<std::int64_t>(block, "height");
    summary.time = json::required<std::uint32_t>(block, "time");
    const auto& txids = json::required<json::Value>(block, "tx");
    if (!txids.is_array() || txids.empty()) throw json::DecodeError("tx", "no coinbase");
    summary.coinbaseTxIDHex = json::as<std::string>(txids.front(), "tx[0]");
    if (const auto coinbase = json::optional<json::Value>(block, "coinbase_tx")) {
        const auto script = BitcoinEncoding::hexBytes(
            json::required<std::string>(*coinbase, "coinbase", "coinbase_tx"));
        if (!script) throw json::DecodeError("coinbase_tx.coinbase", "not hexadecimal");
        summary.coinbaseScript = *script;
    }
    return summary;
}

}  // namespace

bool historyLost(const MiningHistoryStore& history, const MarkPlace& place) {
    if (history.quarantinedFileURL()) return true;
    if (!place.walked || place.walked->records == 0) return false;
    const auto blocks = history.allBlocks();
    const auto held = std::count_if(blocks.begin(), blocks.end(), [&](const FoundBlock& block) {
        return block.height <= place.walked->height;
    });
    return held < place.walked->records;
}

Walk reconcile(MiningHistoryStore& history, const RPCClient& client,
               const BlockOwnership& ownership, const MarkPlace& place, std::int64_t untilHeight,
               double timeoutSeconds, std::stop_token stop) {
    Walk walk;
    // A history that cannot be read may hold any of the blocks: they are compared with it once it
    // reads, when a later start walks again.
    if (history.unreadableReason() || ownership.payoutScript.empty() ||
        ownership.mark == ExtranonceMark{}) {
        return walk;  // nothing could be shown to be ours
    }
    const auto ask = [&](std::string_view method, const std::vector<RPCParam>& params,
                         auto decode) {
        throwIfStopRequested(stop);
        ++walk.questions;
        return client.call(method, params, timeoutSeconds, stop, decode);
    };
    const auto hashAt = [&](std::int64_t height) {
        return ask("getblockhash", {RPCParam::integer(height)},
                   [](const json::Value& result) { return json::as<std::string>(result); });
    };
    try {
        const auto deepest = std::max<std::int64_t>(0, untilHeight - maximumDepth + 1);
        const auto lost = historyLost(history, place);
        const auto& walked = place.walked;
        const auto floor = place.firstMined.value_or(deepest);
        std::int64_t from = floor;
        if (walked && !lost && walked->height <= untilHeight &&
            hashAt(walked->height) == walked->hashHex) {
            from = walked->height + 1;
        } else if (walked && !lost) {
            // Reorganised below the place: what lies under the fork is as it was.
            from = std::max(floor, walked->height - lookBehind);
        } else if (place.firstMined) {
            from = *place.firstMined;  // every height mined at with the mark
        } else if (const auto newest = history.newestHeight(); newest && !lost) {
            from = std::max(deepest, *newest - lookBehind);
        }
        walk.from = from = std::max<std::int64_t>(from, 0);
        for (auto height = from; height <= untilHeight; ++height) {
            const auto hashHex = hashAt(height);
            if (history.contains(loop::hashBytesOfDisplayHex(hashHex))) continue;
            const auto block = ask("getblock", {RPCParam::string(hashHex), RPCParam::integer(1)},
                                   [](const json::Value& result) { return summaryOf(result); });
            // A block that is not the one asked for proves nothing.
            if (block.hashHex != hashHex || block.height != height) continue;
            if (block.coinbaseScript) {
                BlockCoinbase script;
                script.scriptSig = *block.coinbaseScript;
                if (script.extranonceMark() != ownership.mark) continue;
            }
            const auto raw = BitcoinEncoding::hexBytes(
                ask("getrawtransaction",
                    {RPCParam::string(block.coinbaseTxIDHex), RPCParam::integer(0),
                     RPCParam::string(hashHex)},
                    [](const json::Value& result) { return json::as<std::string>(result); }));
            auto coinbase = raw ? BlockCoinbase::decodeTransaction(*raw) : std::nullopt;
            if (!coinbase || loop::displayHex(coinbase->coinbaseTxID) != block.coinbaseTxIDHex ||
                coinbase->pushedHeight() != height ||
                ownership.judge(*coinbase) != BlockOwnership::Verdict::ours) {
                continue;
            }
            const auto sats = ownership.rewardOf(*coinbase);
            const auto blockHash = loop::hashBytesOfDisplayHex(hashHex);
            const Bytes coinbaseTxID(coinbase->coinbaseTxID.begin(), coinbase->coinbaseTxID.end());
            const auto foundAt = WallClock::time_point(std::chrono::seconds(block.time));
            FoundBlock recorded;
            try {
                recorded = history.recordSubmission(height, blockHash, coinbaseTxID, sats,
                                                    {SubmissionResult::Accepted{}}, foundAt);
            } catch (const FileWriteError&) {
                // Held in memory; it reaches the file with the next write that succeeds. Found by
                // its hash: the loop may have recorded a block of its own since.
                const auto blocks = history.allBlocks();
                const auto held = std::find_if(
                    blocks.begin(), blocks.end(),
                    [&](const FoundBlock& block) { return block.blockHash == blockHash; });
                if (held == blocks.end()) continue;
                recorded = *held;
            }
            walk.added.push_back(recorded);
        }
        walk.complete = true;
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception&) {
        // The node could not answer: what was found so far stays; the next start walks again.
    }
    return walk;
}

}  // namespace corvanta::HistoryReconciliation

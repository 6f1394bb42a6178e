#include "corvanta/loop/HistoryReconciliation.h"

#include <algorithm>

#include "DisplayHex.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/rpc/RPCErrors.h"
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

// The node's answer for a block whose data it has pruned: "Block not available (pruned data)" from
// getblock, "Block not available" from getrawtransaction.
bool isPruned(const RPCError& error) {
    return error.code() == -1 && error.message().starts_with("Block not available");
}

// The lowest height whose block the node still holds.
std::int64_t lowestHeld(const json::Value& chainInfo) {
    if (!json::optional<bool>(chainInfo, "pruned").value_or(false)) return 0;
    return std::max<std::int64_t>(
        0, json::optional<std::int64_t>(chainInfo, "pruneheight").value_or(0));
}

void notePruned(std::vector<HeightRange>& ranges, std::int64_t first, std::int64_t last) {
    if (!ranges.empty() && ranges.back().last + 1 == first) {
        ranges.back().last = last;
    } else {
        ranges.push_back({first, last});
    }
}

}  // namespace

std::string digestHex(const MiningHistoryStore::Held& held) {
    return BitcoinEncoding::hexString(Bytes(held.digest.begin(), held.digest.end()));
}

bool historyLost(const MiningHistoryStore& history, const WalkedThrough& place) {
    if (history.quarantinedFileURL() || history.refusedAny()) return true;
    const auto held = history.heldAtOrBelow(place.height);
    if (std::int64_t(held.count) < place.records) return true;
    return place.digestHex && *place.digestHex != digestHex(held);
}

Walk reconcile(MiningHistoryStore& history, const RPCClient& client,
               const BlockOwnership& ownership, const WalkStart& start, std::int64_t untilHeight,
               double timeoutSeconds, std::stop_token stop) {
    Walk walk;
    // A history that cannot be read may hold any of the blocks: they are compared with it once it
    // reads, when a later start walks again.
    if (history.unreadableReason() || (!ownership.key && ownership.mark == ExtranonceMark{})) {
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
    const auto noteOurs = [&](std::int64_t height) {
        if (!walk.lowestOurs || height < *walk.lowestOurs) walk.lowestOurs = height;
    };
    try {
        const auto floor = std::max<std::int64_t>(0, start.floor.value_or(0));
        const auto folded = history.folded();
        // Only a walk from the lowest block tells the floor: the place, however sound, is passed
        // over until one has. A folded summary keeps any walk above it, so there the place is used.
        const auto place = (start.floor || folded) ? start.place : std::nullopt;
        const auto lost = place && historyLost(history, *place);
        std::int64_t from = floor;
        if (place && !lost && place->height <= untilHeight &&
            hashAt(place->height) == place->hashHex) {
            from = place->height + 1;
        } else if (place && !lost) {
            from = std::max(floor, place->height - lookBehind);
        }
        // The folded summary holds every block of ours up to its highest height, hashes aside:
        // asking again would count them twice.
        if (folded) {
            from = std::max(from, folded->highestHeight + 1);
            noteOurs(folded->lowestHeight);
        }
        const auto held = ask("getblockchaininfo", {},
                              [](const json::Value& result) { return lowestHeld(result); });
        walk.fromLowestHeld = !start.floor && !folded;  // began at 0, raised to `held` below
        if (from < held) {
            // Only heights the walk was to check: none when it had nothing left to ask.
            if (from <= untilHeight) notePruned(walk.pruned, from, std::min(held - 1, untilHeight));
            from = held;
        }
        walk.from = from;
        for (auto height = from; height <= untilHeight; ++height) {
            const auto hashHex = hashAt(height);
            const auto blockHash = loop::hashBytesOfDisplayHex(hashHex);
            if (history.contains(blockHash)) {
                noteOurs(height);
                continue;
            }
            std::optional<Bytes> raw;
            std::optional<BlockSummary> block;
            try {
                block = ask("getblock", {RPCParam::string(hashHex), RPCParam::integer(1)},
                            [](const json::Value& result) { return summaryOf(result); });
                // A block that is not the one asked for proves nothing.
                if (block->hashHex != hashHex || block->height != height) continue;
                if (block->coinbaseScript) {
                    BlockCoinbase script;
                    script.scriptSig = *block->coinbaseScript;
                    const auto mark = script.extranonceMark();
                    // Unmarked coinbases are never told ours from the chain, where anyone's
                    // could be.
                    if (!mark || *mark == ExtranonceMark{}) continue;
                }
                raw = BitcoinEncoding::hexBytes(
                    ask("getrawtransaction",
                        {RPCParam::string(block->coinbaseTxIDHex), RPCParam::integer(0),
                         RPCParam::string(hashHex)},
                        [](const json::Value& result) { return json::as<std::string>(result); }));
            } catch (const RPCError& error) {
                if (!isPruned(error)) throw;
                notePruned(walk.pruned, height, height);  // pruned since the walk began
                continue;
            }
            auto coinbase = raw ? BlockCoinbase::decodeTransaction(*raw) : std::nullopt;
            if (!coinbase || loop::displayHex(coinbase->coinbaseTxID) != block->coinbaseTxIDHex ||
                coinbase->pushedHeight() != height ||
                ownership.judge(*coinbase) != BlockOwnership::Verdict::ours) {
                continue;
            }
            noteOurs(height);
            const auto sats = ownership.rewardOf(*coinbase);
            const Bytes coinbaseTxID(coinbase->coinbaseTxID.begin(), coinbase->coinbaseTxID.end());
            const auto foundAt = WallClock::time_point(std::chrono::seconds(block->time));
            FoundBlock recorded;
            try {
                recorded = history.recordSubmission(height, blockHash, coinbaseTxID, sats,
                                                    {SubmissionResult::Accepted{}}, foundAt);
            } catch (const FileWriteError&) {
                // Held in memory; it reaches the file with the next write that succeeds. Found by
                // its hash: the loop may have recorded a block of its own since.
                const auto blocks = history.allBlocks();
                const auto heldBlock = std::find_if(
                    blocks.begin(), blocks.end(),
                    [&](const FoundBlock& found) { return found.blockHash == blockHash; });
                if (heldBlock == blocks.end()) continue;
                recorded = *heldBlock;
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

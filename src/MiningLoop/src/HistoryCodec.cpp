#include "HistoryCodec.h"

#include "RecordLimits.h"
#include "corvanta/support/IsoDate.h"
#include "corvanta/support/Uuid.h"

namespace corvanta::loop {
namespace {

constexpr std::size_t kHashSize = 32;

// A hash stored as an array of 32 numbers from 0 to 255.
std::vector<std::uint8_t> requiredHash(const json::Value& object, std::string_view key) {
    const auto& array = json::field(object, key);
    if (!array.is_array()) throw json::DecodeError(std::string(key), "expected an array");
    if (array.size() != kHashSize) throw json::DecodeError(std::string(key), "not 32 bytes");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(array.size());
    for (const auto& byte : array) bytes.push_back(json::as<std::uint8_t>(byte, key));
    return bytes;
}

}  // namespace

json::Value encodeBlock(const FoundBlock& block) {
    return {{"id", block.id},
            {"height", block.height},
            {"blockHash", block.blockHash},
            {"coinbaseTxID", block.coinbaseTxID},
            {"rewardSats", block.rewardSats},
            {"foundAt", formatIsoDate(block.foundAt)},
            {"confirmations", block.confirmations},
            {"status", toString(block.status)}};
}

FoundBlock decodeBlock(const json::Value& record) {
    FoundBlock block;
    block.id = json::required<std::string>(record, "id");
    if (!isUuid(block.id)) throw json::DecodeError("id", "not a UUID");
    block.height = json::required<std::int64_t>(record, "height");
    if (!isPlausibleHeight(block.height)) throw json::DecodeError("height", "out of range");
    block.blockHash = requiredHash(record, "blockHash");
    block.coinbaseTxID = requiredHash(record, "coinbaseTxID");
    block.rewardSats = json::required<std::int64_t>(record, "rewardSats");
    if (!isPlausibleReward(block.rewardSats)) {
        throw json::DecodeError("rewardSats", "outside 0 to 21,000,000 BTC");
    }
    const auto foundAt = parseIsoDate(json::required<std::string>(record, "foundAt"));
    if (!foundAt) throw json::DecodeError("foundAt", "not an ISO 8601 date");
    block.foundAt = *foundAt;
    block.confirmations = json::required<std::int64_t>(record, "confirmations");
    if (block.confirmations < 0) throw json::DecodeError("confirmations", "negative");
    const auto status = foundBlockStatusNamed(json::required<std::string>(record, "status"));
    if (!status) throw json::DecodeError("status", "unknown status");
    block.status = *status;
    // Only the chain makes a block mature, and only once it is buried deep enough.
    if (block.status == FoundBlockStatus::mature && block.confirmations < maturityConfirmations) {
        throw json::DecodeError("status", "mature with fewer than 100 confirmations");
    }
    return block;
}

json::Value encodeFolded(const MiningHistoryStore::Folded& folded) {
    return {{"folded",
             {{"count", folded.count},
              {"rewardSats", folded.totalAcceptedRewardSats},
              {"lowestHeight", folded.lowestHeight},
              {"highestHeight", folded.highestHeight}}}};
}

bool isFoldedSummary(const json::Value& element) {
    return element.is_object() && element.size() == 1 && element.contains("folded");
}

MiningHistoryStore::Folded decodeFolded(const json::Value& element) {
    const auto& folded = json::field(element, "folded");
    MiningHistoryStore::Folded summary;
    summary.count = json::required<std::int64_t>(folded, "count", "folded");
    summary.totalAcceptedRewardSats = json::required<std::int64_t>(folded, "rewardSats", "folded");
    summary.lowestHeight = json::required<std::int64_t>(folded, "lowestHeight", "folded");
    summary.highestHeight = json::required<std::int64_t>(folded, "highestHeight", "folded");
    if (summary.count < 1) throw json::DecodeError("folded.count", "not a count of records");
    if (summary.totalAcceptedRewardSats < 0) {
        throw json::DecodeError("folded.rewardSats", "negative");
    }
    if (!isPlausibleHeight(summary.lowestHeight) || !isPlausibleHeight(summary.highestHeight) ||
        summary.lowestHeight > summary.highestHeight) {
        throw json::DecodeError("folded", "heights out of range");
    }
    return summary;
}

}  // namespace corvanta::loop

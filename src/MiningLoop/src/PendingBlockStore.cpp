#include "corvanta/loop/PendingBlockStore.h"

#include "DisplayHex.h"
#include "RecordLimits.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

bool isHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

bool isHash(std::string_view text) {
    return loop::isLowerHex(text, 64);
}

WholeSeconds requiredDate(const json::Value& object, std::string_view key) {
    const auto text = json::required<std::string>(object, key);
    const auto date = parseIsoDate(text);
    if (!date) throw json::DecodeError(std::string(key), "not an ISO 8601 date: " + text);
    return *date;
}

constexpr std::size_t kHeaderSize = 80;

// Why a well-formed record still cannot be resubmitted and recorded as it stands, if it cannot:
// the block must be a header followed by its transactions, the header must hash to the recorded
// hash, and the height and reward must be possible at all.
std::optional<std::string> untrustworthy(const PendingBlock& block) {
    if (!loop::isPlausibleHeight(block.height)) return "height out of range";
    if (!loop::isPlausibleReward(block.rewardSats)) return "reward outside 0 to 21,000,000 BTC";
    const auto bytes = BitcoinEncoding::hexBytes(block.blockHex);
    if (!bytes || bytes->size() <= kHeaderSize) return "block shorter than a header and more";
    const auto header = std::span(*bytes).first(kHeaderSize);
    if (loop::displayHex(doubleSHA256(header)) != block.blockHashHex) {
        return "block hash is not the hash of the block's header";
    }
    return BlockCoinbase::flawOfWholeBlock(*bytes);
}

}  // namespace

PendingBlock PendingBlock::fromOutcome(const MiningOutcome& outcome, std::int64_t height,
                                       WallClock::time_point foundAt) {
    return PendingBlock{.height = height,
                        .blockHashHex = loop::displayHex(outcome.blockHash),
                        .blockHex = BitcoinEncoding::hexString(outcome.serializedBlock),
                        .coinbaseTxIDHex = loop::displayHex(outcome.coinbaseTxid),
                        .rewardSats = outcome.rewardSats,
                        .foundAt = wholeSeconds(foundAt)};
}

std::string PendingBlock::fileName() const {
    return "pending-" + std::to_string(height) + "-" + blockHashHex.substr(0, 16) + ".json";
}

bool PendingBlock::isWellFormed() const {
    return height >= 0 && isHash(blockHashHex) && isHash(coinbaseTxIDHex) && !blockHex.empty() &&
           blockHex.size() % 2 == 0 && isHex(blockHex);
}

namespace PendingBlockStore {

SubmissionResult resubmit(const PendingBlock& block, const RPCClient& client,
                          std::stop_token stop) {
    return resubmitAndTell(block, client, stop).result;
}

Resubmission resubmitAndTell(const PendingBlock& block, const RPCClient& client,
                             std::stop_token stop) {
    const auto reply = client.callOptional("submitblock", {RPCParam::string(block.blockHex)},
                                           submissionTimeoutSeconds, stop);
    const auto text =
        reply ? std::optional(json::as<std::string>(*reply, "submitblock")) : std::nullopt;
    const auto result = submissionVerdict(text);
    return {result, result.isAccepted() && (!text || *text == "inconclusive")};
}

std::string encode(const PendingBlock& block) {
    json::Value record = {
        {"height", block.height},         {"blockHashHex", block.blockHashHex},
        {"blockHex", block.blockHex},     {"coinbaseTxIDHex", block.coinbaseTxIDHex},
        {"rewardSats", block.rewardSats}, {"foundAt", formatIsoDate(block.foundAt)}};
    return json::dump(record);
}

PendingBlock decode(std::string_view text) {
    const auto record = json::parse(text);
    PendingBlock block{
        .height = json::required<std::int64_t>(record, "height"),
        .blockHashHex = json::required<std::string>(record, "blockHashHex"),
        .blockHex = json::required<std::string>(record, "blockHex"),
        .coinbaseTxIDHex = json::required<std::string>(record, "coinbaseTxIDHex"),
        .rewardSats = json::required<std::int64_t>(record, "rewardSats"),
        .foundAt = requiredDate(record, "foundAt"),
    };
    // Checked before any field goes into a file name or to the node.
    if (!block.isWellFormed()) throw json::DecodeError("pending block", "malformed fields");
    if (const auto problem = untrustworthy(block))
        throw json::DecodeError("pending block", *problem);
    return block;
}

void write(const PendingBlock& block, const std::filesystem::path& directory) {
    if (!block.isWellFormed()) throw FileWriteError("refusing to store a malformed pending block");
    writeFileAtomically(directory / block.fileName(), encode(block), Durability::durable);
}

void remove(const PendingBlock& block, const std::filesystem::path& directory) {
    if (!block.isWellFormed()) return;
    std::error_code ignored;
    std::filesystem::remove(directory / block.fileName(), ignored);
}

void remove(const LoadedPendingBlock& loaded) {
    std::error_code ignored;
    std::filesystem::remove(loaded.file, ignored);
}

FolderReading read(const std::filesystem::path& directory) {
    FolderReading reading;
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    if (error) return reading;
    for (const auto& entry : entries) {
        const auto name = entry.path().filename().string();
        if (!name.starts_with("pending-") || !name.ends_with(".json")) continue;
        std::string text;
        try {
            // Never blocks, never follows a link, never reads past what a block can weigh.
            text = readFile(entry.path(), Links::refuse, kFileBound);
        } catch (const FileReadError& failure) {
            if (failure.reason() == FileReadError::Reason::missing) continue;  // gone meanwhile
            std::string why = failure.reason() == FileReadError::Reason::notRegular
                                  ? "not a regular file"
                              : failure.errorNumber() == EFBIG ? "larger than any block's record"
                                                               : failure.what();
            reading.refused.push_back({entry.path(), std::move(why)});
            continue;
        }
        try {
            reading.blocks.push_back({decode(text), entry.path()});
        } catch (const std::exception& failure) {
            reading.refused.push_back({entry.path(), failure.what()});
        }
    }
    std::stable_sort(
        reading.blocks.begin(), reading.blocks.end(),
        [](const auto& a, const auto& b) { return a.block.foundAt < b.block.foundAt; });
    return reading;
}

std::vector<LoadedPendingBlock> load(const std::filesystem::path& directory) {
    return read(directory).blocks;
}

}  // namespace PendingBlockStore

void recordRejectedBlock(const std::string& blockHex, std::int64_t height,
                         const std::string& reason, const std::string& discriminator,
                         const std::filesystem::path& directory) {
    const auto now = WallClock::now();
    const json::Value record = {{"height", height},
                                {"reason", reason},
                                {"timestamp", formatIsoDate(now)},
                                {"blockHex", blockHex}};
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const auto name = "rejected-" + std::to_string(height) + "-" + std::to_string(milliseconds) +
                      "-" + discriminator + ".json";
    writeFileAtomically(directory / name, json::dump(record, 2));
    rotateRejectedBlocks(directory, kRejectedBlocksKept);
}

void rotateRejectedBlocks(const std::filesystem::path& directory, std::size_t keeping) {
    struct Entry {
        std::filesystem::path path;
        std::filesystem::file_time_type modified;
    };
    std::vector<Entry> records;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const auto name = entry.path().filename().string();
        if (!name.starts_with("rejected-") || entry.path().extension() != ".json") continue;
        records.push_back({entry.path(), entry.last_write_time()});
    }
    if (records.size() <= keeping) return;
    std::stable_sort(records.begin(), records.end(),
                     [](const Entry& a, const Entry& b) { return a.modified < b.modified; });
    for (std::size_t i = 0; i < records.size() - keeping; ++i) {
        std::error_code ignored;
        std::filesystem::remove(records[i].path, ignored);
    }
}

}  // namespace corvanta

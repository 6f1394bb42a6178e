#include "corvanta/loop/MiningHistoryStore.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include "DisplayHex.h"
#include "HistoryJournal.h"
#include "HistoryRecords.h"
#include "RecordLimits.h"
#include "StoreFile.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {
namespace {

constexpr std::size_t kHashSize = 32;

// A hash stored as an array of 32 numbers from 0 to 255.
std::vector<std::uint8_t> requiredHash(const json::Value& object, std::string_view key) {
    const auto array = json::required<json::Value>(object, key);
    if (!array.is_array()) throw json::DecodeError(std::string(key), "expected an array");
    if (array.size() != kHashSize) throw json::DecodeError(std::string(key), "not 32 bytes");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(array.size());
    for (const auto& byte : array) bytes.push_back(json::as<std::uint8_t>(byte, key));
    return bytes;
}

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
    if (!loop::isPlausibleHeight(block.height)) throw json::DecodeError("height", "out of range");
    block.blockHash = requiredHash(record, "blockHash");
    block.coinbaseTxID = requiredHash(record, "coinbaseTxID");
    block.rewardSats = json::required<std::int64_t>(record, "rewardSats");
    if (!loop::isPlausibleReward(block.rewardSats)) {
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

// Every record is one block: a repeated id or block hash would count a reward twice.
// Ids are compared as the store keeps them, as bytes: two that differ only in letter case are
// one id, and a file holding both would be written back with that id twice.
void requireDistinct(const std::vector<FoundBlock>& blocks) {
    std::set<UuidBytes> ids;
    std::set<std::vector<std::uint8_t>> hashes;
    for (const auto& block : blocks) {
        if (!ids.insert(*uuidBytes(block.id)).second) throw json::DecodeError("id", "repeated");
        if (!hashes.insert(block.blockHash).second) {
            throw json::DecodeError("blockHash", "repeated");
        }
    }
}

FoundBlockStatus statusFor(std::int64_t confirmations) {
    return confirmations >= maturityConfirmations ? FoundBlockStatus::mature
                                                  : FoundBlockStatus::pending;
}

}  // namespace

MiningHistoryStore::MiningHistoryStore(std::filesystem::path fileURL)
    : fileURL_(std::move(fileURL)),
      journal_(fileURL_),
      records_(std::make_unique<loop::HistoryRecords>()) {
    removeLeftoverTemporaries(fileURL_);
    loadLocked();
}

MiningHistoryStore::~MiningHistoryStore() = default;

void MiningHistoryStore::loadLocked() {
    auto loaded = storefile::load<std::vector<FoundBlock>>(fileURL_, decode, fileBound);
    for (const auto& block : loaded.records) records_->append(loop::HistoryRecord::of(block));
    if (loaded.quarantined) {
        const auto what = "History file " + fileURL_.string() + " " + loaded.asideReason;
        setAsideNotices_.push_back(*loaded.quarantined != fileURL_
                                       ? what + ": it was set aside as " +
                                             loaded.quarantined->string() + "."
                                       : what + " and could not be set aside: found blocks are " +
                                             "kept in memory until it is moved away.");
    }
    quarantinedFileURL_ = std::move(loaded.quarantined);
    mayWrite_ = loaded.mayWrite;
    unreadable_ = std::move(loaded.unreadable);
    std::error_code error;
    fileHoldsBase_ =
        !quarantinedFileURL_ && !unreadable_ && std::filesystem::exists(fileURL_, error);
    loadJournal();
}

void MiningHistoryStore::loadJournal() {
    const auto contents = journal::read(journal_.url(), journalBound);
    if (contents.tooLarge || contents.notRegular) {
        // Never opened for reading: set aside now, so that no append ever goes through a link
        // or waits on a FIFO, and nothing of it is lost.
        const auto aside = storefile::moveAside(journal_.url());
        const auto what = "History journal " + journal_.url().string() + " " +
                          unusableText(contents.tooLarge, contents.link, journalBound);
        if (aside) {
            journal_.setAsideUnread(*aside);
            setAsideNotices_.push_back(what + ": it was set aside as " + aside->string() + ".");
            return;
        }
        // What it holds is not known: nothing may be folded over it.
        mayWrite_ = false;
        setAsideNotices_.push_back(what + " and could not be set aside: found blocks are kept " +
                                   "in memory until it is moved away.");
    }
    if (contents.unreadable) {
        // Folding would remove a journal whose records were never seen.
        if (!unreadable_) unreadable_ = contents.unreadable;
        mayWrite_ = false;
    }
    if (contents.lines.empty() && !contents.unfinishedTail && !contents.notRegular &&
        !contents.tooLarge) {
        journal_.loaded(0, false);
        return;
    }
    std::set<std::array<std::uint8_t, 16>> ids;
    for (const auto& record : *records_) ids.insert(record.id);
    // A link or FIFO in the journal's place is set aside like a damaged journal, never written to.
    bool damaged = contents.unfinishedTail || contents.notRegular || contents.tooLarge;
    for (const auto& line : contents.lines) {
        loop::HistoryRecord record;
        try {
            record = loop::HistoryRecord::of(decodeBlock(json::parse(line)));
        } catch (const json::DecodeError&) {
            damaged = true;
            continue;
        }
        // Already folded into the file by a write that ended before the journal was removed.
        if (records_->find(record.blockHash)) continue;
        if (!ids.insert(record.id).second) {
            damaged = true;
            continue;
        }
        records_->append(record);
    }
    journal_.loaded(contents.lines.size(), damaged);
}

bool MiningHistoryStore::rereadLocked() {
    auto held = std::exchange(records_, std::make_unique<loop::HistoryRecords>());
    loadLocked();
    if (unreadable_) {
        records_ = std::move(held);
        return false;
    }
    // What was recorded while the file could not be read follows what it holds.
    std::set<std::array<std::uint8_t, 16>> ids;
    for (const auto& record : *records_) ids.insert(record.id);
    for (const auto& record : *held) {
        if (records_->find(record.blockHash)) continue;
        auto kept = record;
        while (!ids.insert(kept.id).second) kept.id = *uuidBytes(makeUuid());
        records_->append(kept);
    }
    ++generation_;
    return true;
}

std::optional<std::string> MiningHistoryStore::unreadableReason() const {
    std::lock_guard lock(mutex_);
    return unreadable_;
}

std::optional<std::filesystem::path> MiningHistoryStore::quarantinedFileURL() const {
    std::lock_guard lock(mutex_);
    return quarantinedFileURL_;
}

std::vector<std::string> MiningHistoryStore::setAsideNotices() const {
    std::lock_guard lock(mutex_);
    return setAsideNotices_;
}

std::optional<std::filesystem::path> MiningHistoryStore::quarantinedJournalURL() const {
    std::lock_guard lock(mutex_);
    return journal_.aside();
}

std::vector<FoundBlock> MiningHistoryStore::allBlocks() const {
    std::lock_guard lock(mutex_);
    std::vector<FoundBlock> blocks;
    blocks.reserve(records_->size());
    for (const auto& record : *records_) blocks.push_back(record.block());
    return blocks;
}

MiningHistoryStore::Summary MiningHistoryStore::summary(std::size_t newest) const {
    std::lock_guard lock(mutex_);
    Summary summary{.count = records_->size(),
                    .totalAcceptedRewardSats = totalAcceptedRewardSatsLocked(),
                    .newest = {}};
    const auto& all = *records_;
    const auto first = all.size() - std::min(newest, all.size());
    summary.newest.reserve(all.size() - first);
    for (auto i = first; i < all.size(); ++i) summary.newest.push_back(all[i].block());
    return summary;
}

std::optional<std::int64_t> MiningHistoryStore::newestHeight() const {
    std::lock_guard lock(mutex_);
    std::optional<std::int64_t> newest;
    for (const auto& record : *records_)
        newest = std::max(newest.value_or(0), std::int64_t(record.height));
    return newest;
}

bool MiningHistoryStore::contains(const std::vector<std::uint8_t>& blockHash) const {
    if (blockHash.size() != kHashSize) return false;  // names no block the history could hold
    std::array<std::uint8_t, kHashSize> hash{};
    std::copy(blockHash.begin(), blockHash.end(), hash.begin());
    std::lock_guard lock(mutex_);
    return records_->find(hash).has_value();
}

bool MiningHistoryStore::isSaved() const {
    std::lock_guard lock(mutex_);
    return !unsaved_;
}

void MiningHistoryStore::saveIfUnsaved() {
    std::lock_guard lock(mutex_);
    if (unsaved_) foldLocked();
}

FoundBlock MiningHistoryStore::recordSubmission(std::int64_t height,
                                                const std::vector<std::uint8_t>& blockHash,
                                                const std::vector<std::uint8_t>& coinbaseTxID,
                                                std::int64_t rewardSats,
                                                const SubmissionResult& result,
                                                WallClock::time_point foundAt) {
    // A record the file could not load back would cost the whole history at the next launch.
    if (blockHash.size() != kHashSize || coinbaseTxID.size() != kHashSize) {
        throw std::invalid_argument("a found block's hashes have 32 bytes");
    }
    if (!loop::isPlausibleHeight(height) || !loop::isPlausibleReward(rewardSats)) {
        throw std::invalid_argument("a found block's height or reward is out of range");
    }
    const FoundBlock block{
        .id = makeUuid(),
        .height = height,
        .blockHash = blockHash,
        .coinbaseTxID = coinbaseTxID,
        .rewardSats = rewardSats,
        .foundAt = wholeSeconds(foundAt),
        .confirmations = 0,
        .status = !result.isAccepted() ? FoundBlockStatus::rejected : FoundBlockStatus::pending};
    const auto record = loop::HistoryRecord::of(block);
    std::lock_guard lock(mutex_);
    if (const auto known = records_->find(record.blockHash)) {
        // The caller removes the block's pending file on return: it must be on disk.
        if (unsaved_) foldLocked();
        return (*records_)[*known].block();
    }
    records_->append(record);
    appendLocked(block);
    return block;
}

std::vector<FoundBlock> MiningHistoryStore::refreshAgainstChain(ChainStatusSource& source,
                                                                std::stop_token stop) {
    // Records are only ever appended: positions stay valid while the lock is let go for each
    // question, and records added meanwhile wait for the next refresh.
    std::size_t count = 0;
    bool hasOrphans = false;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        count = records_->size();
        generation = generation_;
        for (const auto& record : *records_) {
            if (record.status == FoundBlockStatus::orphaned) hasOrphans = true;
        }
    }
    std::optional<std::int64_t> tipHeight;
    if (hasOrphans) {
        try {
            tipHeight = source.bestBlockHeight(stop);
        } catch (const Cancelled&) {
            throw;
        } catch (const std::exception&) {
            // Without the tip, orphaned blocks wait for the next refresh.
        }
    }

    std::vector<FoundBlock> matured;
    bool answered = false;
    for (std::size_t position = 0; position < count; ++position) {
        std::array<std::uint8_t, kHashSize> hash{};
        {
            std::lock_guard lock(mutex_);
            // A file read again meanwhile has put the records in another order.
            if (generation != generation_) break;
            const auto& record = (*records_)[position];
            if (record.status == FoundBlockStatus::rejected) continue;
            if (record.status == FoundBlockStatus::orphaned &&
                (!tipHeight || *tipHeight - record.height > orphanRecheckDepth)) {
                continue;
            }
            hash = record.blockHash;
        }
        ChainPresence presence;
        try {
            presence = source.chainPresence(loop::displayHex(hash), stop);
        } catch (const Cancelled&) {
            throw;
        } catch (const std::exception&) {
            continue;  // a failed lookup leaves the record as it is
        }
        std::lock_guard lock(mutex_);
        if (generation != generation_) break;
        auto& record = (*records_)[position];
        if (const auto* active = std::get_if<ChainPresence::Active>(&presence.value)) {
            const auto before = record.status;
            record.confirmations = active->confirmations;
            record.status = statusFor(active->confirmations);
            if (record.status == FoundBlockStatus::mature && before != FoundBlockStatus::mature) {
                matured.push_back(record.block());
            }
            answered = true;
        } else if (std::holds_alternative<ChainPresence::Orphaned>(presence.value)) {
            record.status = FoundBlockStatus::orphaned;
            answered = true;
        }
    }
    std::lock_guard lock(mutex_);
    if (!answered && !unsaved_ && journal_.lines() == 0) return matured;
    try {
        foldLocked();
    } catch (const std::exception&) {
        // The next refresh or record writes it.
    }
    return matured;
}

std::int64_t MiningHistoryStore::totalAcceptedRewardSats() const {
    std::lock_guard lock(mutex_);
    return totalAcceptedRewardSatsLocked();
}

std::int64_t MiningHistoryStore::totalAcceptedRewardSatsLocked() const {
    std::int64_t total = 0;
    for (const auto& record : *records_) {
        if (record.status != FoundBlockStatus::pending &&
            record.status != FoundBlockStatus::mature) {
            continue;
        }
        if (__builtin_add_overflow(total, record.rewardSats, &total)) {
            return record.rewardSats > 0 ? std::numeric_limits<std::int64_t>::max()
                                         : std::numeric_limits<std::int64_t>::min();
        }
    }
    return total;
}

std::string MiningHistoryStore::encode(const std::vector<FoundBlock>& records) {
    return storefile::encodeArray(records, encodeBlock);
}

std::vector<FoundBlock> MiningHistoryStore::decode(std::string_view text) {
    auto blocks = storefile::decodeArray(text, "history", decodeBlock);
    requireDistinct(blocks);
    return blocks;
}

void MiningHistoryStore::appendLocked(const FoundBlock& block) {
    // Only a file that holds every earlier record may be extended by the journal.
    if (unsaved_ || !fileHoldsBase_ || journal_.damaged() || !mayWrite_) {
        foldLocked();
        return;
    }
    try {
        journal_.append(json::dump(encodeBlock(block)));
    } catch (const FileWriteError&) {
        // The next write folds the record into the file and so replaces the journal.
        unsaved_ = true;
        throw;
    }
}

void MiningHistoryStore::foldLocked() {
    unsaved_ = true;
    if (unreadable_ && !rereadLocked()) {
        throw FileWriteError(*unreadable_ + "; the history is kept in memory and nothing is " +
                             "written over the file until it can be read");
    }
    if (!mayWrite_) {
        throw FileWriteError("the history file " + fileURL_.string() +
                             " could not be read nor saved aside; it is left untouched");
    }
    // One record's text at a time: the whole file as one text would cost its size again in
    // memory at every fold.
    storefile::writeArray(
        fileURL_, *records_,
        [](const loop::HistoryRecord& record) { return encodeBlock(record.block()); },
        Durability::durable);
    unsaved_ = false;
    fileHoldsBase_ = true;
    journal_.retire();
}

namespace HistoryMigration {

void migrateLegacyIfNeeded(const std::filesystem::path& legacy,
                           const std::filesystem::path& target) {
    std::error_code error;
    if (!std::filesystem::exists(legacy, error) || std::filesystem::exists(target, error)) return;
    std::filesystem::create_directories(target.parent_path(), error);
    std::filesystem::rename(legacy, target, error);
}

}  // namespace HistoryMigration

}  // namespace corvanta

#include "corvanta/loop/MiningHistoryStore.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include "DisplayHex.h"
#include "HistoryCodec.h"
#include "HistoryFileReading.h"
#include "HistoryRecords.h"
#include "RecordLimits.h"
#include "StoreFile.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {
namespace {

constexpr std::size_t kHashSize = 32;

FoundBlockStatus statusFor(std::int64_t confirmations) {
    return confirmations >= maturityConfirmations ? FoundBlockStatus::mature
                                                  : FoundBlockStatus::pending;
}

bool isAccepted(FoundBlockStatus status) {
    return status == FoundBlockStatus::pending || status == FoundBlockStatus::mature;
}

std::int64_t saturatingAdd(std::int64_t total, std::int64_t sats) {
    if (__builtin_add_overflow(total, sats, &total)) {
        return sats > 0 ? std::numeric_limits<std::int64_t>::max()
                        : std::numeric_limits<std::int64_t>::min();
    }
    return total;
}

// The folded summary first, then one record's text at a time: the whole file as one text would
// cost its size again in memory at every fold.
void writeHistoryFile(const std::filesystem::path& file,
                      const std::optional<MiningHistoryStore::Folded>& folded,
                      const loop::HistoryRecords& records) {
    AtomicFileWriter writer(file, Durability::durable);
    bool first = true;
    writer.write("[");
    if (folded) {
        writer.write(json::dump(loop::encodeFolded(*folded)));
        first = false;
    }
    for (const auto& record : records) {
        if (!first) writer.write(",");
        first = false;
        writer.write(json::dump(loop::encodeBlock(record.block())));
    }
    writer.write("]");
    writer.commit();
}

}  // namespace

MiningHistoryStore::MiningHistoryStore(std::filesystem::path fileURL)
    : MiningHistoryStore(std::move(fileURL), unread) {
    load();
}

MiningHistoryStore::MiningHistoryStore(std::filesystem::path fileURL, Unread)
    : fileURL_(std::move(fileURL)),
      journal_(fileURL_),
      records_(std::make_unique<loop::HistoryRecords>()) {}

MiningHistoryStore::~MiningHistoryStore() = default;

void MiningHistoryStore::load(std::stop_token stop) {
    {
        std::unique_lock lock(mutex_);
        if (!loadChanged_.wait(lock, stop, [this] { return loadState_ != LoadState::reading; })) {
            throw Cancelled();
        }
        if (loadState_ == LoadState::read) return;
        loadState_ = LoadState::reading;
    }
    // Read without the lock: recording a block meanwhile costs no more than it would after.
    std::optional<loop::HistoryReading> reading;
    try {
        removeLeftoverTemporaries(fileURL_);
        reading = loop::readHistory(fileURL_, journal_.url(), stop);
    } catch (...) {
        std::lock_guard lock(mutex_);
        loadState_ = LoadState::unread;
        loadChanged_.notify_all();
        throw;
    }
    std::lock_guard lock(mutex_);
    adoptLocked(std::move(*reading));
    loadState_ = LoadState::read;
    loadChanged_.notify_all();
    if (!unsaved_) return;
    try {
        foldLocked();
    } catch (const std::exception&) {
        // The next record or refresh writes them.
    }
}

bool MiningHistoryStore::isLoaded() const {
    std::lock_guard lock(mutex_);
    return loadState_ == LoadState::read;
}

void MiningHistoryStore::adoptLocked(loop::HistoryReading reading) {
    auto held = std::exchange(records_, std::move(reading.records));
    folded_ = reading.folded;
    refusedAny_ =
        refusedAny_ || reading.quarantined || reading.journalSetAside || reading.journalDamaged;
    quarantinedFileURL_ = std::move(reading.quarantined);
    setAsideNotices_ = reading.notices;
    untold_.insert(untold_.end(), reading.notices.begin(), reading.notices.end());
    unreadable_ = std::move(reading.unreadable);
    mayWrite_ = reading.mayWrite;
    fileHoldsBase_ = reading.fileHoldsBase;
    if (reading.journalSetAside) {
        journal_.setAsideUnread(*reading.journalSetAside);
    } else {
        journal_.loaded(reading.journalLines, reading.journalDamaged);
    }
    // What was recorded before the files were read follows what they hold: a block they hold
    // is theirs, one they lack is written with them.
    std::set<std::array<std::uint8_t, 16>> ids;
    for (const auto& record : *records_) ids.insert(record.id);
    for (const auto& record : *held) {
        if (records_->find(record.blockHash)) continue;
        auto kept = record;
        while (!ids.insert(kept.id).second) kept.id = *uuidBytes(makeUuid());
        records_->append(kept);
        unsaved_ = true;
    }
    ++generation_;
}

bool MiningHistoryStore::rereadLocked() {
    auto reading = loop::readHistory(fileURL_, journal_.url(), {});
    if (reading.unreadable) {
        unreadable_ = std::move(reading.unreadable);
        mayWrite_ = false;
        return false;
    }
    adoptLocked(std::move(reading));
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

std::vector<std::string> MiningHistoryStore::takeNotices() {
    std::lock_guard lock(mutex_);
    return std::exchange(untold_, {});
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

std::optional<MiningHistoryStore::Folded> MiningHistoryStore::folded() const {
    std::lock_guard lock(mutex_);
    return folded_;
}

MiningHistoryStore::Held MiningHistoryStore::heldAtOrBelow(std::int64_t height) const {
    std::lock_guard lock(mutex_);
    Held held;
    if (folded_ && folded_->lowestHeight <= height) held.count = std::size_t(folded_->count);
    for (const auto& record : *records_) {
        if (record.height > height) continue;
        ++held.count;
        for (std::size_t i = 0; i < held.digest.size(); ++i) held.digest[i] ^= record.blockHash[i];
    }
    return held;
}

bool MiningHistoryStore::refusedAny() const {
    std::lock_guard lock(mutex_);
    return refusedAny_;
}

MiningHistoryStore::Summary MiningHistoryStore::summary(std::size_t newest) const {
    std::lock_guard lock(mutex_);
    Summary summary{.count = records_->size() + std::size_t(folded_ ? folded_->count : 0),
                    .totalAcceptedRewardSats = totalAcceptedRewardSatsLocked(),
                    .newest = {},
                    .loaded = loadState_ == LoadState::read};
    const auto& all = *records_;
    const auto first = all.size() - std::min(newest, all.size());
    summary.newest.reserve(all.size() - first);
    for (auto i = first; i < all.size(); ++i) summary.newest.push_back(all[i].block());
    return summary;
}

std::optional<std::int64_t> MiningHistoryStore::newestHeight() const {
    std::lock_guard lock(mutex_);
    std::optional<std::int64_t> newest;
    if (folded_) newest = folded_->highestHeight;
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
        if (loadState_ != LoadState::read) return {};
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
            // A file read again, or folded, meanwhile has put the records in another order.
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
    std::int64_t total = folded_ ? folded_->totalAcceptedRewardSats : 0;
    for (const auto& record : *records_) {
        if (isAccepted(record.status)) total = saturatingAdd(total, record.rewardSats);
    }
    return total;
}

std::string MiningHistoryStore::encode(const std::vector<FoundBlock>& records) {
    return storefile::encodeArray(records, loop::encodeBlock);
}

std::vector<FoundBlock> MiningHistoryStore::decode(std::string_view text) {
    std::vector<FoundBlock> blocks;
    std::set<UuidBytes> ids;
    std::set<std::vector<std::uint8_t>> hashes;
    bool first = true;
    json::forEachElement(text, "history", [&](json::Value&& element) {
        // A summary opens the file or is none.
        if (std::exchange(first, false) && loop::isFoldedSummary(element)) {
            loop::decodeFolded(element);
            return;
        }
        auto block = loop::decodeBlock(element);
        // Ids compared as bytes: two that differ only in letter case are one id.
        if (!ids.insert(*uuidBytes(block.id)).second) throw json::DecodeError("id", "repeated");
        if (!hashes.insert(block.blockHash).second) {
            throw json::DecodeError("blockHash", "repeated");
        }
        blocks.push_back(std::move(block));
    });
    return blocks;
}

void MiningHistoryStore::appendLocked(const FoundBlock& block) {
    // Before the files are read the journal alone may take it: the file is never written unread,
    // and loading finds the line (or the record, held in memory) either way.
    const bool read = loadState_ == LoadState::read;
    // Only a file that holds every earlier record may be extended by the journal, and the
    // journal only as far as its reader takes it.
    if (read && (unsaved_ || !fileHoldsBase_ || journal_.damaged() || !mayWrite_ ||
                 journal_.lines() >= maxJournalLines)) {
        foldLocked();
        return;
    }
    try {
        journal_.append(json::dump(loop::encodeBlock(block)));
    } catch (const FileWriteError&) {
        // The next write folds the record into the file and so replaces the journal.
        unsaved_ = true;
        throw;
    }
}

void MiningHistoryStore::foldLocked() {
    unsaved_ = true;
    if (loadState_ != LoadState::read) {
        // The file is never written unread: what is held (this start's few records) goes to the
        // journal, which the load reads, each block once.
        for (const auto& record : *records_) {
            journal_.append(json::dump(loop::encodeBlock(record.block())));
        }
        unsaved_ = false;
        return;
    }
    if (unreadable_ && !rereadLocked()) {
        throw FileWriteError(*unreadable_ + "; the history is kept in memory and nothing is " +
                             "written over the file until it can be read");
    }
    if (!mayWrite_) {
        throw FileWriteError("the history file " + fileURL_.string() +
                             " could not be read nor saved aside; it is left untouched");
    }
    foldOldestLocked();
    writeHistoryFile(fileURL_, folded_, *records_);
    unsaved_ = false;
    fileHoldsBase_ = true;
    journal_.retire();
}

void MiningHistoryStore::foldOldestLocked() {
    const auto held = records_->size() + (folded_ ? 1 : 0);
    if (held <= maxFileRecords) return;
    // Down to seven eighths, so that a history growing at a test chain's pace is not rebuilt at
    // every write. Settled records go first (mature, orphaned, rejected): a pending one may still
    // change, and a folded record is never asked about again.
    auto toFold = held - (maxFileRecords - maxFileRecords / 8) + (folded_ ? 0 : 1);
    std::vector<bool> folds(records_->size(), false);
    for (const bool settledOnly : {true, false}) {
        for (std::size_t position = 0; position < records_->size() && toFold > 0; ++position) {
            const auto& record = (*records_)[position];
            if (folds[position] || (settledOnly && record.status == FoundBlockStatus::pending)) {
                continue;
            }
            folds[position] = true;
            --toFold;
        }
    }
    const bool first = !folded_;
    auto summary = folded_.value_or(Folded{.count = 0,
                                           .totalAcceptedRewardSats = 0,
                                           .lowestHeight = std::numeric_limits<std::int32_t>::max(),
                                           .highestHeight = 0});
    auto kept = std::make_unique<loop::HistoryRecords>();
    for (std::size_t position = 0; position < records_->size(); ++position) {
        const auto& record = (*records_)[position];
        if (!folds[position]) {
            kept->append(record);
            continue;
        }
        ++summary.count;
        if (isAccepted(record.status)) {
            summary.totalAcceptedRewardSats =
                saturatingAdd(summary.totalAcceptedRewardSats, record.rewardSats);
        }
        summary.lowestHeight = std::min<std::int64_t>(summary.lowestHeight, record.height);
        summary.highestHeight = std::max<std::int64_t>(summary.highestHeight, record.height);
    }
    records_ = std::move(kept);
    folded_ = summary;
    ++generation_;
    if (first) {
        untold_.push_back("History file " + fileURL_.string() + " holds as many records as it " +
                          "may (" + std::to_string(maxFileRecords) + "): its " +
                          std::to_string(summary.count) +
                          " oldest are now kept as their count and total, and so on as it grows; "
                          "the counts and totals shown stay whole.");
    }
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

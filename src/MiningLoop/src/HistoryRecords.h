#pragma once

// The found-block history as held in memory: one fixed-size value a record, found by block hash
// through an index of positions. A record costs about 120 bytes (112 for itself, the rest its
// index slots), so a history of a hundred thousand blocks stays within a few megabytes; records
// are held in blocks of 1,024 that never move, so the history grows by its records alone and
// never by a copy of all of them.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "corvanta/loop/FoundBlock.h"

namespace corvanta::loop {

struct HistoryRecord {
    std::array<std::uint8_t, 32> blockHash{};
    std::array<std::uint8_t, 32> coinbaseTxID{};
    std::array<std::uint8_t, 16> id{};  // the UUID's bytes; written back in upper case
    std::int64_t rewardSats = 0;
    std::int64_t foundAtSeconds = 0;
    std::int64_t confirmations = 0;
    std::int32_t height = 0;
    FoundBlockStatus status = FoundBlockStatus::pending;

    // The block must hold 32-byte hashes, a UUID id and a height within 0 to 2^31-1;
    // std::invalid_argument otherwise.
    static HistoryRecord of(const FoundBlock& block);
    FoundBlock block() const;
};

class HistoryRecords {
  public:
    using Hash = std::array<std::uint8_t, 32>;

    HistoryRecords() = default;
    HistoryRecords(const HistoryRecords&) = delete;
    HistoryRecords& operator=(const HistoryRecords&) = delete;

    std::size_t size() const { return size_; }
    const HistoryRecord& operator[](std::size_t position) const {
        return (*blocks_[position / kBlockRecords])[position % kBlockRecords];
    }
    HistoryRecord& operator[](std::size_t position) {
        return (*blocks_[position / kBlockRecords])[position % kBlockRecords];
    }

    // The records in the order appended.
    class Iterator {
      public:
        Iterator(const HistoryRecords& records, std::size_t position)
            : records_(&records), position_(position) {}
        const HistoryRecord& operator*() const { return (*records_)[position_]; }
        Iterator& operator++() {
            ++position_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return position_ == other.position_; }

      private:
        const HistoryRecords* records_;
        std::size_t position_;
    };
    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size_}; }

    std::optional<std::size_t> find(const Hash& blockHash) const;
    // Appends a record whose block hash is not held yet.
    void append(const HistoryRecord& record);

  private:
    static constexpr std::size_t kBlockRecords = 1024;
    using Block = std::array<HistoryRecord, kBlockRecords>;
    static constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;

    std::size_t slotOf(const Hash& blockHash) const;
    void placeInIndex(std::uint32_t position);

    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t size_ = 0;
    // Open addressing: each slot holds a record's position or kEmptySlot; at most half are used.
    std::vector<std::uint32_t> slots_;
};

}  // namespace corvanta::loop

#pragma once

// The found-block history as held in memory: one fixed-size value a record, found by block hash
// through an index of positions. A record costs about 150 bytes, so a history of a hundred
// thousand blocks stays within a few megabytes; the records are held in blocks, never moved, so
// the history grows by its records alone and never by a copy of all of them.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_set>

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
    HistoryRecords();
    HistoryRecords(const HistoryRecords&) = delete;
    HistoryRecords& operator=(const HistoryRecords&) = delete;

    std::size_t size() const { return records_.size(); }
    const HistoryRecord& operator[](std::size_t position) const { return records_[position]; }
    HistoryRecord& operator[](std::size_t position) { return records_[position]; }
    const std::deque<HistoryRecord>& all() const { return records_; }

    std::optional<std::size_t> find(const std::array<std::uint8_t, 32>& blockHash) const;
    // Appends a record whose block hash is not held yet.
    void append(const HistoryRecord& record);

  private:
    using Hash = std::array<std::uint8_t, 32>;
    // Positions, hashed and compared by their record's block hash; a lookup passes the hash.
    struct ByHash {
        using is_transparent = void;
        const std::deque<HistoryRecord>* records;
        std::size_t operator()(const Hash& hash) const;
        std::size_t operator()(std::uint32_t position) const;
    };
    struct SameHash {
        using is_transparent = void;
        const std::deque<HistoryRecord>* records;
        const Hash& of(const Hash& hash) const { return hash; }
        const Hash& of(std::uint32_t position) const { return (*records)[position].blockHash; }
        template <typename A, typename B>
        bool operator()(const A& a, const B& b) const {
            return of(a) == of(b);
        }
    };

    std::deque<HistoryRecord> records_;
    std::unordered_set<std::uint32_t, ByHash, SameHash> index_;
};

}  // namespace corvanta::loop

#pragma once

// History files as long sessions leave them, for the benchmarks that read or extend one.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Uuid.h"

namespace corvanta::bench {

// A block hash that no other `n` gives, in hash byte order: `n` in its first bytes, the rest as
// spread as a real hash's, so that a record takes the room a real one takes.
inline std::vector<std::uint8_t> hashOf(std::uint64_t n) {
    std::vector<std::uint8_t> hash(32, 0);
    for (int i = 0; i < 8; ++i) hash[i] = std::uint8_t(n >> (8 * i));
    std::uint64_t state = n;
    for (std::size_t i = 8; i < hash.size(); ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        hash[i] = std::uint8_t(state >> 56);
    }
    return hash;
}

// A history file of `count` accepted, mature blocks at heights 1 to `count`.
inline void writeHistory(const std::filesystem::path& file, std::uint64_t count) {
    std::vector<FoundBlock> blocks;
    blocks.reserve(count);
    const auto foundAt = wholeSeconds(WallClock::now());
    for (std::uint64_t n = 0; n < count; ++n) {
        blocks.push_back({.id = makeUuid(),
                          .height = std::int64_t(n + 1),
                          .blockHash = hashOf(n),
                          .coinbaseTxID = hashOf(n + (1ULL << 40)),
                          .rewardSats = 5'000'000'000,
                          .foundAt = foundAt,
                          .confirmations = 100,
                          .status = FoundBlockStatus::mature});
    }
    writeFileAtomically(file, MiningHistoryStore::encode(blocks), Durability::durable);
}

}  // namespace corvanta::bench

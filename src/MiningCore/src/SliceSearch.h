#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "EngineState.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/NonceRange.h"

namespace corvanta::detail {

// One slice of a search, shared by the workers: its chunks are handed out front to back to
// whichever worker asks, so that a worker done with its own slice helps with the others instead
// of idling until the slowest one ends. Aligned so that workers claiming chunks of neighbouring
// slices do not contend for one cache line.
struct alignas(64) SharedSlice {
    NonceRange range{0, 0};
    std::atomic<std::uint64_t> handedOut{0};  // nonces of the range given to a worker so far

    std::mutex hitsMutex;
    std::vector<std::uint32_t> hits;  // up to the first hits of each chunk, in no order

    // The slice's first CPUEngine::hitCapacityPerSlice hits in nonce order.
    std::vector<std::uint32_t> firstHits();
};

// Sweeps the slices in chunks on the calling thread, the slice at `home` first and then each
// following one, until all are handed out, `cancel` is set, or (with stopAtFirstWinner) a chunk
// holds a hit, in which case it sets `cancel` for the other workers.
void sweepSlices(const HashJob& job, std::span<SharedSlice> slices, std::size_t home,
                 std::uint64_t chunkSize, bool stopAtFirstWinner, EngineState& state,
                 std::atomic<bool>& cancel) noexcept;

}  // namespace corvanta::detail

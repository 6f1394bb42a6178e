#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "EngineState.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/NonceRange.h"

namespace corvanta::detail {

using SliceHits = std::array<std::uint32_t, CPUEngine::hitCapacityPerSlice>;

// Sweeps one slice of a search in chunks, on the calling thread, until it is exhausted, `cancel`
// is set, or (with stopAtFirstWinner) it finds a hit, in which case it sets `cancel` for the
// other slices. Stores the first hits in nonce order and returns how many it stored.
std::size_t searchSlice(const HashJob& job, NonceRange slice, std::uint64_t chunkSize,
                        bool stopAtFirstWinner, EngineState& state, std::atomic<bool>& cancel,
                        SliceHits& hits) noexcept;

}  // namespace corvanta::detail

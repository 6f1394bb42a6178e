#include "SliceSearch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "corvanta/vesk.h"

namespace corvanta::detail {

void EngineState::offerBest(const Hash32& digestBigEndian, const HashJob& job,
                            std::uint32_t nonce) {
    const std::scoped_lock lock(bestMutex);
    if (bestDigestBigEndian && !(digestBigEndian < *bestDigestBigEndian)) return;
    bestDigestBigEndian = digestBigEndian;
    CPUEngine::BestAttempt attempt{.headerBytes = job.headerBytes(nonce)};
    std::ranges::reverse_copy(digestBigEndian, attempt.digest.begin());
    bestAttempt = attempt;
}

namespace {

// Holds the slice while the engine is paused. False when the search is cancelled meanwhile.
bool waitWhilePaused(const EngineState& state, const std::atomic<bool>& cancel) {
    using namespace std::chrono_literals;
    while (state.paused.load()) {
        if (cancel.load()) return false;
        std::this_thread::sleep_for(50ms);
    }
    return !cancel.load();
}

// The next chunk of the slice for this worker, or an empty range once all are handed out.
NonceRange claimChunk(SharedSlice& slice, std::uint64_t chunkSize) {
    const std::uint64_t count = slice.range.count();
    std::uint64_t from = slice.handedOut.load();
    std::uint64_t size = 0;
    do {
        if (from >= count) return NonceRange(slice.range.start(), 0);
        size = std::min(count - from, chunkSize);
    } while (!slice.handedOut.compare_exchange_weak(from, from + size));
    // The range never passes 2^32, so this never actually wraps.
    return NonceRange(static_cast<std::uint32_t>(slice.range.start() + from), size);
}

}  // namespace

std::vector<std::uint32_t> SharedSlice::firstHits() {
    const std::scoped_lock lock(hitsMutex);
    std::ranges::sort(hits);
    const std::size_t kept = std::min(hits.size(), CPUEngine::hitCapacityPerSlice);
    return {hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(kept)};
}

void sweepSlices(const HashJob& job, std::span<SharedSlice> slices, std::size_t home,
                 std::uint64_t chunkSize, bool stopAtFirstWinner, EngineState& state,
                 std::atomic<bool>& cancel) noexcept {
    std::array<std::uint32_t, CPUEngine::hitCapacityPerSlice> chunkHits{};
    for (std::size_t visited = 0; visited < slices.size(); ++visited) {
        SharedSlice& slice = slices[(home + visited) % slices.size()];
        while (true) {
            if (cancel.load() || !waitWhilePaused(state, cancel)) return;
            const NonceRange chunk = claimChunk(slice, chunkSize);
            if (chunk.count() == 0) break;
            Hash32 chunkBest{};
            std::uint32_t chunkBestNonce = 0;
            const std::uint64_t found = vesk_search_chunk(
                job.midstate().data(), job.tail().data(), chunk.start(), chunk.count(),
                job.target().bigEndianBytes.data(), chunkHits.data(), chunkHits.size(),
                chunkBest.data(), &chunkBestNonce);
            if (found > 0) {
                // A slice's first hits are among the first hits of its chunks.
                const std::scoped_lock lock(slice.hitsMutex);
                slice.hits.insert(slice.hits.end(), chunkHits.begin(),
                                  chunkHits.begin() + static_cast<std::ptrdiff_t>(found));
                // Only the lowest ones can end up kept: an easy target must not grow the list
                // with every chunk.
                if (slice.hits.size() > 2 * CPUEngine::hitCapacityPerSlice) {
                    std::ranges::sort(slice.hits);
                    slice.hits.resize(CPUEngine::hitCapacityPerSlice);
                }
            }
            state.sweptNonceCount.fetch_add(chunk.count());
            state.offerBest(chunkBest, job, chunkBestNonce);
            if (stopAtFirstWinner && found >= 1) {
                cancel.store(true);
                return;
            }
        }
    }
}

}  // namespace corvanta::detail

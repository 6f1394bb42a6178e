#include "SliceSearch.h"

#include <algorithm>
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

}  // namespace

std::size_t searchSlice(const HashJob& job, NonceRange slice, std::uint64_t chunkSize,
                        bool stopAtFirstWinner, EngineState& state, std::atomic<bool>& cancel,
                        SliceHits& hits) noexcept {
    std::uint64_t found = 0;
    std::uint64_t done = 0;
    while (done < slice.count()) {
        if (cancel.load() || !waitWhilePaused(state, cancel)) break;
        const std::uint64_t chunk = std::min(slice.count() - done, chunkSize);
        // The range never passes 2^32, so this never actually wraps.
        const auto startNonce = static_cast<std::uint32_t>(slice.start() + done);
        Hash32 chunkBest{};
        std::uint32_t chunkBestNonce = 0;
        found += vesk_search_chunk(job.midstate().data(), job.tail().data(), startNonce, chunk,
                                   job.target().bigEndianBytes.data(), hits.data() + found,
                                   hits.size() - found, chunkBest.data(), &chunkBestNonce);
        done += chunk;
        state.sweptNonceCount.fetch_add(chunk);
        state.offerBest(chunkBest, job, chunkBestNonce);
        if (stopAtFirstWinner && found >= 1) {
            cancel.store(true);
            break;
        }
    }
    return static_cast<std::size_t>(found);
}

}  // namespace corvanta::detail

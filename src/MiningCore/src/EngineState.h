#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "corvanta/mining/CPUEngine.h"

namespace corvanta::detail {

// What every copy of one engine shares: running figures and flags.
struct EngineState {
    std::atomic<std::uint64_t> sweptNonceCount{0};
    std::atomic<int> workerCount{0};  // 0 while none has been set
    std::atomic<bool> paused{false};
    std::atomic<bool> courteous{false};

    // The best digest and the header that gave it change together, under one lock, so that a
    // reader never sees one worker's digest beside another worker's header.
    mutable std::mutex bestMutex;
    std::optional<Hash32> bestDigestBigEndian;
    std::optional<CPUEngine::BestAttempt> bestAttempt;

    // Keeps the candidate when it is strictly lower than the best so far (or the first one).
    void offerBest(const Hash32& digestBigEndian, const HashJob& job, std::uint32_t nonce);
};

}  // namespace corvanta::detail

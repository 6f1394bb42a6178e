#pragma once

#include <chrono>
#include <cstdint>

namespace corvanta {

// Every pause and limit of the mining loop. The defaults are the product's; tests shorten them.
struct MiningLoopTimings {
    using Duration = std::chrono::milliseconds;

    int submissionAttempts = 5;
    Duration submissionRetryStep{2000};  // pauses of 1, 2, 3, 4 steps between attempts
    Duration recoveryInitialPause{1000};
    Duration recoveryMaxPause{10000};
    Duration restartMaxPause{10000};
    Duration restartCookieTimeout{30000};
    Duration restartWarmupTimeout{30000};
    Duration readyPollInterval{2000};
    double proposalTimeoutSeconds = 30;
    // Each question of the walk that puts missed blocks back into the history.
    double reconciliationCallTimeoutSeconds = 30;
    // Exhausted nonce sweeps between two one-second steps of the header time.
    std::uint32_t sweepsPerTimeRoll = 65'536;
    // After a long-poll the node may still be holding (one we gave up on), the loop polls the
    // template at this pace instead of long-polling again on the same tip: every long-poll given
    // up keeps one of the node's few RPC threads busy until its tip or mempool changes, and enough
    // of them leave the node deaf to every call.
    Duration tipPollInterval{5000};
    // While polling, a template that changed only in its transactions replaces the job no more
    // often than this, as the node's own long-poll does.
    Duration mempoolRefreshInterval{60000};
};

}  // namespace corvanta

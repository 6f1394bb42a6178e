#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "Session/SessionMiner.h"
#include "corvanta/mining/SystemState.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/NodeController.h"

namespace corvanta {

// The periods and limits of a running session. The defaults are the product's.
struct SessionRunTimings {
    using Duration = std::chrono::milliseconds;

    Duration cookieTimeout{60'000};
    Duration warmupTimeout{30'000};
    Duration syncPollInterval{2'000};
    Duration statusInterval{3'000};
    Duration networkHashInterval{30'000};
    Duration hashRateInterval{2'000};
    Duration earningsInterval{300'000};
    // After an accepted or matured block the history's figures are read again this much later,
    // so that a burst of blocks costs one reading.
    Duration earningsRescanDelay{2'000};
    // The shown earnings follow each block at once; a scan confirms them once no block has come
    // for this long, and never sooner than the spacing after the previous scan ended, so the
    // scans stay as rare as this bound however fast blocks come.
    Duration earningsCalmPeriod{10'000};
    Duration earningsScanSpacing{60'000};
    Duration historyInterval{30'000};
    Duration governorPollInterval{2'000};
    // Mining events reach the model at most this often, and none waits longer.
    Duration eventFlushInterval{100};
    double rpcTimeoutSeconds = 30;
};

// Everything a session reaches outside the model. Unset functions take the product's values:
// the located node program and the release compiled in, the network's ports and data folder under
// the support folder, networking on, the machine's own state for the governor, the mining
// coordinator.
struct SessionRunEnvironment {
    SessionRunTimings timings;
    NodeControllerTimings nodeTimings;
    std::function<std::filesystem::path()> nodeProgram;
    std::function<std::optional<BitcoindRelease>(const std::filesystem::path&)> expectedRelease;
    std::function<std::filesystem::path(BitcoinNetwork)> dataDirectory;
    // The support folder holding the legacy files and the per-network stores.
    std::function<std::filesystem::path()> supportDirectory;
    std::optional<int> rpcPort;
    std::optional<int> p2pPort;
    bool networkingEnabled = true;
    std::shared_ptr<SystemStateSource> governorState;
    SessionMinerFactory makeMiner;
};

}  // namespace corvanta

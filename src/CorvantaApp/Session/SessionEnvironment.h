#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "Session/SessionRunEnvironment.h"
#include "Session/SessionTimings.h"
#include "corvanta/mining/CPUUsageProbe.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/mining/SystemState.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

// What the model reaches outside itself. The defaults are the running product's; tests replace
// the clocks, the periods, the files and the probes. The self-test, the probes and the monotonic
// clock are called on the model's worker threads.
struct SessionEnvironment {
    SessionTimings timings;
    SessionClock clock;
    std::function<EngineSelfTest::Verdict()> selfTest = [] { return EngineSelfTest::run(); };
    // Read for the heat once a second.
    std::shared_ptr<SystemStateSource> systemState;  // none: the machine's own
    // The CPU usage readers (their clock is replaced by the monotonic clock above).
    std::function<CPUUsageProbe::Readers()> cpuReaders = [] {
        return CPUUsageProbe::Readers::live();
    };
    // Processors this process may run on; 0: ask the system.
    int processorCount = 0;
    // Performance cores (the governor's maximum workers); 0: ask the system, once.
    int performanceCoreCount = 0;
    std::function<std::filesystem::path(BitcoinNetwork)>
        proofLogFile;                                                  // none: the support folder's
    std::function<std::filesystem::path(BitcoinNetwork)> historyFile;  // none: the support folder's
    // The widgets' shared folder; none: the desktop's.
    std::optional<std::filesystem::path> snapshotContainer;
    // What a session launches, where, and how often it looks.
    SessionRunEnvironment session;
};

}  // namespace corvanta

#include "corvanta/mining/Benchmark.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/NonceRange.h"
#include "corvanta/mining/Target.h"
#include "corvanta/support/CancellableWait.h"

namespace corvanta {

double BenchmarkResult::hashesPerSecond() const {
    const double seconds = std::chrono::duration<double>(duration).count();
    if (!(seconds > 0)) return 0;
    return static_cast<double>(hashesComputed) / seconds;
}

BenchmarkResult Benchmark::measure(HashEngine& engine, int threadCount, std::uint64_t hashes,
                                   std::stop_token stop) {
    BlockHeader header{.version = 0x20000000, .time = 0x60000000, .bits = 0x17031abc};
    header.previousBlockHash.fill(0x11);
    header.merkleRoot.fill(0x22);
    // The header's own target, which no nonce of this header meets: the engine is timed on the
    // path it runs while mining. The easiest target would make every nonce a hit and time the
    // hit bookkeeping instead, several times slower than the search.
    const HashJob job(header, *Target::fromCompactBits(header.bits));

    const std::uint64_t count = std::min(hashes, NonceRange::nonceSpace);
    if (hashes > NonceRange::nonceSpace) {
        const std::string note = "Nombre de hachages ramené à " + std::to_string(count) +
                                 " (espace des nonces = 2³²).\n";
        std::fputs(note.c_str(), stderr);
    }

    const auto started = std::chrono::steady_clock::now();
    engine.search(job, NonceRange(0, count), stop);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    throwIfStopRequested(stop);
    return BenchmarkResult{.engineName = engine.name(),
                           .threadCount = threadCount,
                           .hashesComputed = count,
                           .duration = elapsed};
}

}  // namespace corvanta

// Throughput of the CPU engine on one thread and on every performance core, as an MH counter (per
// second: MH/s).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/Difficulty.h"

namespace {

using namespace corvanta;

HashJob benchmarkJob() {
    BlockHeader header{.version = 0x20000000, .time = 0x60000000, .bits = 0x1d00ffff};
    header.previousBlockHash.fill(0x11);
    header.merkleRoot.fill(0x22);
    // A real-world target: hits are rare, so the figures are those of plain mining.
    return HashJob(header, *Target::fromBigEndianBytes(Difficulty::difficulty1Target()));
}

void searchWith(benchmark::State& state, int threads) {
    CPUEngine engine(threads);
    const HashJob job = benchmarkJob();
    // One chunk per worker per iteration.
    const std::uint64_t perIteration =
        static_cast<std::uint64_t>(threads) * CPUEngine::defaultChunkSize;
    std::uint64_t start = 0;
    for (auto _ : state) {
        if (start + perIteration > NonceRange::nonceSpace) start = 0;
        auto hits =
            engine.search(job, NonceRange(static_cast<std::uint32_t>(start), perIteration), {});
        benchmark::DoNotOptimize(hits);
        start += perIteration;
    }
    state.counters["MH"] = benchmark::Counter(static_cast<double>(engine.sweptNonceCount()) / 1e6,
                                              benchmark::Counter::kIsRate);
    state.counters["threads"] = threads;
    state.SetLabel(engine.name());
}

void BM_CPUEngineOneThread(benchmark::State& state) {
    searchWith(state, 1);
}

void BM_CPUEngineAllPerformanceCores(benchmark::State& state) {
    searchWith(state, CPUEngine::performanceCoreCount());
}

BENCHMARK(BM_CPUEngineOneThread)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CPUEngineAllPerformanceCores)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#include <benchmark/benchmark.h>

#include "corvanta/support/Uuid.h"

namespace {

// Every log line and rate sample on the interface thread takes a fresh identifier.
void BM_MakeUuid(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(corvanta::makeUuid());
}
BENCHMARK(BM_MakeUuid);

}  // namespace

BENCHMARK_MAIN();

// What recording one found block costs as the history grows: the N-th record of a history of
// N - 1, for N = 100, 1,000 and 10,000. Each iteration records one more block into the same store,
// on the disk the temporary folder lives on (TMPDIR), durably.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

#include "HistoryFiles.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta {
namespace {

using bench::hashOf;
using bench::writeHistory;

void RecordNthBlock(benchmark::State& state) {
    const auto n = std::uint64_t(state.range(0));
    testing::TempDir folder;
    const auto file = folder.path() / "regtest.json";
    writeHistory(file, n - 1);
    const auto heapBefore = mallinfo2().uordblks;
    MiningHistoryStore store(file);
    state.counters["history_heap_B_per_record"] =
        double(mallinfo2().uordblks - heapBefore) / double(n - 1);
    const SubmissionResult accepted{SubmissionResult::Accepted{}};
    std::uint64_t next = n - 1;
    for (auto _ : state) {
        store.recordSubmission(std::int64_t(next + 1), hashOf(next), hashOf(next + (1ULL << 40)),
                               5'000'000'000, accepted, WallClock::now());
        ++next;
    }
    state.counters["history_records"] = double(n);
}
BENCHMARK(RecordNthBlock)
    ->Arg(100)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Arg(30'000)
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvanta

BENCHMARK_MAIN();

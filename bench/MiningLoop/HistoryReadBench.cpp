// What reading a long history costs at start-up: a file of 151,324 records (about 60 MiB, what
// some hours of mining on a private test chain leave), read whole by one store. Peak memory is the
// process's resident high-water mark during the read, above what it held before.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "HistoryFiles.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta {
namespace {

// A field of /proc/self/status, in kB.
std::int64_t statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
    }
    return 0;
}

// Starts the high-water mark again from what is resident now.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void ReadLongHistory(benchmark::State& state) {
    const auto records = std::uint64_t(state.range(0));
    testing::TempDir folder;
    const auto file = folder.path() / "regtest.json";
    bench::writeHistory(file, records);
    const auto fileBytes = std::filesystem::file_size(file);
    std::int64_t peakKiB = 0;
    for (auto _ : state) {
        resetPeak();
        const auto before = statusKiB("VmRSS");
        {
            const MiningHistoryStore store(file);
            benchmark::DoNotOptimize(store.summary(0).count);
            peakKiB = std::max(peakKiB, statusKiB("VmHWM") - before);
        }
    }
    state.counters["file_MiB"] = double(fileBytes) / double(1 << 20);
    state.counters["peak_rss_increase_MiB"] = double(peakKiB) / 1024.0;
}
BENCHMARK(ReadLongHistory)->Arg(151'324)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvanta

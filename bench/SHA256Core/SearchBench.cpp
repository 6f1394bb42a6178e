// Single-thread search speed of every backend this processor can run and of every build of their
// searches ("sha-ni/3": three nonces side by side), on the engine's chunk size with
// a target no nonce meets (the common case while mining). Builds differ by a few percent, so
// compare them in one run, pinned to one core:
//   taskset -c 3 SHA256CoreBench --benchmark_repetitions=7 --benchmark_enable_random_interleaving
// and read the medians.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>

#include "corvanta/sha256/Backend.h"

namespace {

using corvanta::sha256::Backend;

constexpr std::uint64_t kChunk = 1'000'000;

void searchChunks(benchmark::State& state, const Backend* backend) {
    std::array<std::uint32_t, 8> midstate{};
    for (std::size_t i = 0; i < midstate.size(); ++i) {
        midstate[i] = 0x9e3779b9u * static_cast<std::uint32_t>(i + 1);
    }
    std::array<std::uint8_t, 16> tail{};
    for (std::size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<std::uint8_t>(17 * i + 3);
    const std::array<std::uint8_t, 32> target{};  // only an all-zero digest would meet it
    std::array<std::uint32_t, 64> hits{};
    std::array<std::uint8_t, 32> best{};
    std::uint32_t bestNonce = 0;
    std::uint32_t start = 0;
    for (auto _ : state) {
        const std::uint64_t found =
            backend->searchChunk(midstate.data(), tail.data(), start, kChunk, target.data(),
                                 hits.data(), hits.size(), best.data(), &bestNonce);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(best);
        start += static_cast<std::uint32_t>(kChunk);
    }
    const auto hashes = static_cast<std::int64_t>(state.iterations() * kChunk);
    state.SetItemsProcessed(hashes);
    state.counters["MH/s"] =
        benchmark::Counter(static_cast<double>(hashes) / 1e6, benchmark::Counter::kIsRate);
}

void registerSearch(const Backend& backend) {
    benchmark::RegisterBenchmark(("search/" + std::string(backend.id)).c_str(), searchChunks,
                                 &backend)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    for (const Backend& backend : corvanta::sha256::availableBackends()) registerSearch(backend);
    for (const Backend& build : corvanta::sha256::searchBuilds()) registerSearch(build);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

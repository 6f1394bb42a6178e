// Single-thread speed of the wide-vector nonce searches: one chunk of a million nonces against a
// target no digest meets, the engine's steady state.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "corvanta/sha256/Backend.h"

namespace {

void searchChunk(benchmark::State& state, const char* backendId) {
    const corvanta::sha256::Backend* backend = corvanta::sha256::findBackend(backendId);
    if (backend == nullptr) {
        state.SkipWithError("backend not available on this CPU");
        return;
    }
    constexpr std::uint64_t kCount = 1'000'000;
    const std::array<std::uint32_t, 8> midstate = {0x9524c593, 0x05c56713, 0x16e669ba, 0x2d2810a0,
                                                   0x07e86e37, 0x2f56a9da, 0xcd5bce69, 0x7a78da2d};
    const std::array<std::uint8_t, 16> tail = {0xf1, 0xfc, 0x12, 0x2b, 0xc7, 0xf5, 0xd7, 0x4d,
                                               0xf2, 0xb9, 0x44, 0x1a, 0x00, 0x00, 0x00, 0x00};
    const std::array<std::uint8_t, 32> target{};  // only an all-zero digest would meet it
    std::array<std::uint32_t, 64> hits{};
    std::array<std::uint8_t, 32> best{};
    std::uint32_t bestNonce = 0;
    std::uint32_t start = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(backend->searchChunk(midstate.data(), tail.data(), start, kCount,
                                                      target.data(), hits.data(), hits.size(),
                                                      best.data(), &bestNonce));
        benchmark::DoNotOptimize(best);
        start += static_cast<std::uint32_t>(kCount);
    }
    state.counters["MH/s"] = benchmark::Counter(
        static_cast<double>(kCount) * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(searchChunk, avx2, "avx2")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(searchChunk, avx512, "avx512")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

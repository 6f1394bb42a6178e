#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

#include "corvanta/mining/HashEngine.h"

namespace corvanta {

struct BenchmarkResult {
    std::string engineName;
    int threadCount = 0;
    std::uint64_t hashesComputed = 0;
    std::chrono::steady_clock::duration duration{};

    // 0 when the duration is not positive.
    double hashesPerSecond() const;
    double megahashesPerSecond() const { return hashesPerSecond() / 1'000'000; }
};

// Measures an engine's throughput over a fixed synthetic header.
struct Benchmark {
    // Times one search over `hashes` nonces, at most the 2^32 of the nonce space (a note on
    // standard error says so when the count had to be lowered). `threadCount` is only recorded
    // in the result. Throws Cancelled when `stop` ends the search early, since the figures of a
    // cut-short run would be wrong.
    static BenchmarkResult measure(HashEngine& engine, int threadCount, std::uint64_t hashes,
                                   std::stop_token stop = {});
};

}  // namespace corvanta

// Diagnostic: checks that the hashing core computes real block hashes, then measures the CPU
// engine's hash rate. The rate is always the last line printed, for scripts.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <variant>

#include "BenchOptions.h"
#include "corvanta/mining/Benchmark.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/mining/NonceRange.h"

namespace {

using namespace corvanta;

constexpr double wantedSeconds = 4.0;

// A short first run sizes the real one to take about `wantedSeconds` on this machine, whatever
// the backend and thread count.
std::uint64_t hashesForAFewSeconds(CPUEngine& engine) {
    const auto threads = static_cast<std::uint64_t>(engine.threadCount());
    const std::uint64_t probe = threads * CPUEngine::defaultChunkSize;
    const double rate = Benchmark::measure(engine, engine.threadCount(), probe).hashesPerSecond();
    const auto wanted = static_cast<std::uint64_t>(rate * wantedSeconds);
    return std::clamp(wanted, probe, NonceRange::nonceSpace);
}

bool selfTestPasses() {
    const auto verdict = EngineSelfTest::run();
    if (const auto* failed = std::get_if<EngineSelfTest::Failed>(&verdict)) {
        std::printf("Self-test: failed: %s\n", failed->reason.c_str());
        return false;
    }
    std::printf("Self-test: passed\n");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = tools::parseBenchOptions(std::span<char* const>(argv + 1, argc - 1));
    if (const auto* bad = std::get_if<tools::BadArguments>(&parsed)) {
        std::fprintf(stderr, "corvanta-bench: %s\n%s", bad->message.c_str(), tools::benchUsage);
        return 2;
    }
    const auto& options = std::get<tools::BenchOptions>(parsed);
    if (options.helpWanted) {
        std::fputs(tools::benchUsage, stdout);
        return 0;
    }

    if (!selfTestPasses()) return 1;
    std::fflush(stdout);

    const int threads = options.threads.value_or(CPUEngine::performanceCoreCount());
    CPUEngine engine(threads);
    const std::uint64_t hashes = options.hashes.value_or(hashesForAFewSeconds(engine));
    const BenchmarkResult result = Benchmark::measure(engine, threads, hashes);

    std::printf("Engine: %s\n", result.engineName.c_str());
    std::printf("Threads: %d\n", result.threadCount);
    std::printf("Hashes: %llu\n", static_cast<unsigned long long>(result.hashesComputed));
    std::printf("Seconds: %.3f\n", std::chrono::duration<double>(result.duration).count());
    std::printf("%.1f MH/s\n", result.megahashesPerSecond());
    return 0;
}

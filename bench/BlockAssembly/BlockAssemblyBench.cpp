// What a new extranonce and a found block cost on a full template.
#include <random>

#include <benchmark/benchmark.h>

#include "corvanta/assembly/MiningJob.h"

namespace corvanta {
namespace {

std::string randomHex(std::size_t bytes, std::mt19937& random) {
    Bytes data(bytes);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    return BitcoinEncoding::hexString(data);
}

// A regtest template with `count` transactions of 400 bytes each.
BlockTemplate syntheticTemplate(std::size_t count) {
    std::mt19937 random(1);
    BlockTemplate t;
    t.version = 0x20000000;
    t.previousBlockHash = randomHex(32, random);
    t.bits = "207fffff";
    t.target = "7fffff" + std::string(58, '0');
    t.height = 840'000;
    t.coinbaseValue = 312'500'000;
    t.curTime = t.minTime = 1'800'000'000;
    t.defaultWitnessCommitment = "6a24aa21a9ed" + randomHex(32, random);
    for (std::size_t i = 0; i < count; ++i) {
        t.transactions.push_back({randomHex(400, random), randomHex(32, random), "", {}, {}});
    }
    return t;
}

const CoinbasePayoutPlan kPlan = CoinbasePayoutPlan::everythingToMiner(Bytes(22, 0x14));

// Per extranonce: one coinbase and one hash per merkle level, whatever the block's size.
void BM_CandidatePerExtranonce(benchmark::State& state) {
    const MiningJob job(syntheticTemplate(static_cast<std::size_t>(state.range(0))), kPlan,
                        TemplateRules::segwit);
    std::uint64_t extranonce = 0;
    for (auto _ : state) benchmark::DoNotOptimize(job.candidate(++extranonce, std::nullopt));
}
BENCHMARK(BM_CandidatePerExtranonce)->Arg(0)->Arg(1000)->Arg(4000);

// Once per template.
void BM_JobFromTemplate(benchmark::State& state) {
    const BlockTemplate t = syntheticTemplate(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(MiningJob(t, kPlan, TemplateRules::segwit));
}
BENCHMARK(BM_JobFromTemplate)->Arg(4000)->Unit(benchmark::kMillisecond);

// Once per found block or background proposal: the whole block as hex.
void BM_BlockHexForSubmission(benchmark::State& state) {
    const auto candidate =
        MiningJob(syntheticTemplate(4000), kPlan, TemplateRules::segwit).candidate(1, std::nullopt);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BitcoinEncoding::hexString(candidate.serialized(7)));
    }
}
BENCHMARK(BM_BlockHexForSubmission)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvanta

BENCHMARK_MAIN();

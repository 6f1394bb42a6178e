#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <stop_token>

#include "corvanta/mining/Benchmark.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/sha256/Backend.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/vesk.h"

namespace corvanta {
namespace {

using Failed = EngineSelfTest::Failed;

TEST(EngineSelfTest, PassesOnEveryAvailableBackend) {
    EXPECT_EQ(EngineSelfTest::run(), EngineSelfTest::Verdict(EngineSelfTest::Passed{}));
    for (const auto& backend : sha256::availableBackends()) {
        EXPECT_EQ(EngineSelfTest::run(backend.searchChunk),
                  EngineSelfTest::Verdict(EngineSelfTest::Passed{}))
            << backend.id;
    }
}

// Broken cores: each runs the real search and then spoils one of its outputs.
std::uint64_t findsNothing(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                           std::uint32_t start, std::uint64_t count, const std::uint8_t target[32],
                           std::uint32_t* hits, std::uint64_t, std::uint8_t best[32],
                           std::uint32_t* bestNonce) {
    vesk_search_chunk(midstate, tail, start, count, target, hits, 0, best, bestNonce);
    return 0;
}

std::uint64_t findsTheWrongNonce(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                                 std::uint32_t start, std::uint64_t count,
                                 const std::uint8_t target[32], std::uint32_t* hits,
                                 std::uint64_t capacity, std::uint8_t best[32],
                                 std::uint32_t* bestNonce) {
    const auto stored =
        vesk_search_chunk(midstate, tail, start, count, target, hits, capacity, best, bestNonce);
    hits[0] -= 1;
    return stored;
}

std::uint64_t reportsTheWrongDigest(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                                    std::uint32_t start, std::uint64_t count,
                                    const std::uint8_t target[32], std::uint32_t* hits,
                                    std::uint64_t capacity, std::uint8_t best[32],
                                    std::uint32_t* bestNonce) {
    const auto stored =
        vesk_search_chunk(midstate, tail, start, count, target, hits, capacity, best, bestNonce);
    best[31] ^= 1;
    return stored;
}

TEST(EngineSelfTest, NamesEachWayABrokenCoreFails) {
    EXPECT_EQ(EngineSelfTest::run(&findsNothing),
              EngineSelfTest::Verdict(Failed{
                  "le nonce connu du bloc 125 552 n'a pas \xC3\xA9t\xC3\xA9 retrouv\xC3\xA9"}));
    EXPECT_EQ(
        EngineSelfTest::run(&findsTheWrongNonce),
        EngineSelfTest::Verdict(Failed{"nonce inattendu : 2504433985 au lieu de 2504433986"}));
    EXPECT_EQ(
        EngineSelfTest::run(&reportsTheWrongDigest),
        EngineSelfTest::Verdict(Failed{"condensat diff\xC3\xA9rent de celui de la cha\xC3\xAEne"}));
}

// Records what it was asked to search, without hashing.
class RecordingEngine final : public HashEngine {
  public:
    std::string name() const override { return "recording"; }
    std::optional<Hash32> bestDigestBigEndianBytes() const override { return std::nullopt; }
    std::vector<std::uint32_t> search(const HashJob&, NonceRange range, bool,
                                      std::stop_token) override {
        searched = range;
        return {};
    }
    std::optional<NonceRange> searched;
};

TEST(Benchmark, LowersACountPastTheNonceSpaceAndSaysSo) {
    RecordingEngine engine;
    ::testing::internal::CaptureStderr();
    const auto result = Benchmark::measure(engine, 3, 5'000'000'000);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Nombre de hachages ramen\xC3\xA9 \xC3\xA0 4294967296 (espace des nonces = "
              "2\xC2\xB3\xC2\xB2).\n");
    EXPECT_EQ(engine.searched, NonceRange(0, NonceRange::nonceSpace));
    EXPECT_EQ(result.hashesComputed, NonceRange::nonceSpace);

    ::testing::internal::CaptureStderr();
    Benchmark::measure(engine, 1, NonceRange::nonceSpace);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Benchmark, MeasuresTheEngineOverTheWantedHashes) {
    CPUEngine engine(2);
    const auto result = Benchmark::measure(engine, 2, 400'000);
    EXPECT_EQ(result.hashesComputed, 400'000u);
    EXPECT_EQ(engine.sweptNonceCount(), 400'000u);
    EXPECT_GT(result.hashesPerSecond(), 0);

    EXPECT_EQ(Benchmark::measure(engine, 2, 0).hashesPerSecond(), 0);
    BenchmarkResult instant;
    instant.hashesComputed = 10;
    EXPECT_EQ(instant.hashesPerSecond(), 0);
}

TEST(Benchmark, AStoppedRunIsCancelledNotReported) {
    CPUEngine engine(1);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(Benchmark::measure(engine, 1, 1'000'000, stop.get_token()), Cancelled);
}

}  // namespace
}  // namespace corvanta

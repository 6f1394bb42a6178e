#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <stop_token>
#include <thread>
#include <vector>

#include "HexBytes.h"
#include "TestSupport.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/sha256/Backend.h"
#include "corvanta/sha256/Sha256.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using testing::eventually;

HashJob jobFor(const Target& target, std::uint8_t seed = 0x22) {
    BlockHeader header{.version = 0x20000000, .time = 0x60000000, .bits = 0x17031abc};
    header.previousBlockHash.fill(0x11);
    header.merkleRoot.fill(seed);
    return HashJob(header, target);
}

// Short chunks keep pause and stop reactions quick even on the portable core.
constexpr std::uint64_t quickChunk = 50'000;

// A target no digest meets in practice, so searches sweep their whole range.
Target unreachable() {
    return Target{};
}

std::vector<std::uint64_t> counts(const std::vector<NonceRange>& parts) {
    std::vector<std::uint64_t> out;
    for (const auto& part : parts) out.push_back(part.count());
    return out;
}

TEST(CPUEngineSlice, SplitsEvenlyLargerPartsFirstAndContiguous) {
    EXPECT_THAT(counts(CPUEngine::slice(NonceRange(10, 10), 4)), ElementsAre(3, 3, 2, 2));
    EXPECT_THAT(counts(CPUEngine::slice(NonceRange(0, 3), 8)), ElementsAre(1, 1, 1));
    EXPECT_THAT(counts(CPUEngine::slice(NonceRange(0, 5), 0)), ElementsAre(5));
    EXPECT_TRUE(CPUEngine::slice(NonceRange(0, 0), 4).empty());

    const auto parts = CPUEngine::slice(NonceRange(100, NonceRange::nonceSpace - 100), 7);
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts.front().start(), 100u);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].start(), parts[i - 1].upperBound());
    }
    EXPECT_EQ(parts.back().upperBound(), NonceRange::nonceSpace);
}

TEST(CPUEngine, ClampsCountsAndCopiesShareOneState) {
    CPUEngine engine(0, 0);
    EXPECT_EQ(engine.threadCount(), 1);
    EXPECT_EQ(engine.chunkSize(), 1u);

    CPUEngine four(4);
    for (const auto& [asked, got] : {std::pair{0, 1}, {99, 4}, {2, 2}}) {
        four.setWorkerCount(asked);
        EXPECT_EQ(four.currentWorkerCount(), got) << asked;
    }

    CPUEngine copy = four;
    copy.setPaused(true);
    copy.setWorkerCount(3);
    EXPECT_TRUE(four.isPaused());
    EXPECT_EQ(four.currentWorkerCount(), 3);
    copy.setPaused(false);
    copy.search(jobFor(unreachable()), NonceRange(0, 1000), {});
    EXPECT_EQ(four.sweptNonceCount(), 1000u);
    EXPECT_EQ(four.bestAttempt(), copy.bestAttempt());
}

TEST(CPUEngine, EasiestTargetGivesTheFirst64HitsOfEachSliceSorted) {
    CPUEngine engine(4);
    const auto hits = engine.search(jobFor(Target::easiest()), NonceRange(1000, 1000), {});
    // Slices of 250 from 1000: each keeps its first 64 nonces.
    std::vector<std::uint32_t> expected;
    for (std::uint32_t start : {1000u, 1250u, 1500u, 1750u}) {
        for (std::uint32_t n = 0; n < 64; ++n) expected.push_back(start + n);
    }
    EXPECT_EQ(hits, expected);
    EXPECT_EQ(engine.sweptNonceCount(), 1000u);

    // Small chunks let workers done with their own slice take chunks of the others, out of
    // order: each slice still keeps its own first 64.
    CPUEngine helped(4, 10);
    EXPECT_EQ(helped.search(jobFor(Target::easiest()), NonceRange(1000, 1000), {}), expected);
    EXPECT_EQ(helped.sweptNonceCount(), 1000u);

    engine.setWorkerCount(1);
    const auto oneSlice = engine.search(jobFor(Target::easiest()), NonceRange(0, 1000), {});
    ASSERT_EQ(oneSlice.size(), 64u);
    EXPECT_EQ(oneSlice.back(), 63u);

    // The first 64 are kept across chunk boundaries too.
    CPUEngine tinyChunks(1, 10);
    const auto acrossChunks = tinyChunks.search(jobFor(Target::easiest()), NonceRange(0, 200), {});
    EXPECT_EQ(acrossChunks, oneSlice);
    EXPECT_EQ(tinyChunks.sweptNonceCount(), 200u);

    // Fewer nonces than workers, at the top of the nonce space.
    EXPECT_THAT(CPUEngine(8).search(jobFor(Target::easiest()), NonceRange(0xFFFFFFFD, 3), {}),
                ElementsAre(0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF));
}

TEST(CPUEngine, BestDigestAppearsAfterTheFirstChunkWithoutHits) {
    CPUEngine engine(2);
    EXPECT_FALSE(engine.bestDigestBigEndianBytes());
    EXPECT_FALSE(engine.bestAttempt());
    const HashJob job = jobFor(unreachable());
    EXPECT_TRUE(engine.search(job, NonceRange(0, 5000), {}).empty());

    const auto best = engine.bestDigestBigEndianBytes();
    const auto attempt = engine.bestAttempt();
    ASSERT_TRUE(best && attempt);
    EXPECT_EQ(sha256::doubleDigest(attempt->headerBytes), attempt->digest);
    EXPECT_EQ(testing::reversed(attempt->digest), *best);

    // It is the lowest digest of the whole range.
    Hash32 lowest{};
    lowest.fill(0xFF);
    for (std::uint32_t nonce = 0; nonce < 5000; ++nonce) {
        lowest = std::min(lowest, testing::reversed(sha256::doubleDigest(job.headerBytes(nonce))));
    }
    EXPECT_EQ(*best, lowest);
}

TEST(CPUEngine, StopAtFirstWinnerEndsEverySliceEarly) {
    CPUEngine engine(4, quickChunk);
    const auto hits =
        engine.search(jobFor(Target::easiest()), NonceRange(0, 400'000'000), true, {});
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits.front(), 0u);
    EXPECT_TRUE(std::is_sorted(hits.begin(), hits.end()));
    EXPECT_LE(engine.sweptNonceCount(), 4 * quickChunk);
}

TEST(CPUEngine, StopEndsTheSearchWithinAChunkAndKeepsItsHits) {
    CPUEngine engine(2, quickChunk);
    std::stop_source stop;
    std::vector<std::uint32_t> hits;
    std::atomic<bool> returned = false;
    std::jthread searcher([&] {
        hits = engine.search(jobFor(Target::easiest()), NonceRange(0, NonceRange::nonceSpace),
                             stop.get_token());
        returned = true;
    });
    ASSERT_TRUE(eventually([&] { return engine.sweptNonceCount() > 0; }));
    stop.request_stop();
    ASSERT_TRUE(eventually([&] { return returned.load(); }));
    searcher.join();
    EXPECT_LT(engine.sweptNonceCount(), NonceRange::nonceSpace);  // cut short, not run out

    // A slice that got going kept its first 64 nonces, all found in its first chunk.
    ASSERT_GE(hits.size(), 64u);
    EXPECT_EQ(hits.size() % 64, 0u);
    EXPECT_EQ(hits[63], 63u);
    if (hits.size() == 128) {
        EXPECT_EQ(hits[64], 1u << 31);
    }
    // Every slice had ended: nothing is swept after the search returned.
    const auto swept = engine.sweptNonceCount();
    EXPECT_EQ(swept % quickChunk, 0u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(engine.sweptNonceCount(), swept);
}

// Watches the swept count for a while and says whether it ever went above `ceiling`; a pause
// holds it there however fast or slow the machine is.
bool staysAtMost(const CPUEngine& engine, std::uint64_t ceiling) {
    return !eventually([&] { return engine.sweptNonceCount() > ceiling; }, 300ms);
}

TEST(CPUEngine, PauseFreezesTheSweptCountUntilResumedOrStopped) {
    CPUEngine engine(2, quickChunk);
    std::stop_source stop;
    std::atomic<bool> returned = false;
    std::jthread searcher([&] {
        engine.search(jobFor(unreachable()), NonceRange(0, NonceRange::nonceSpace),
                      stop.get_token());
        returned = true;
    });
    ASSERT_TRUE(eventually([&] { return engine.sweptNonceCount() > 0; }));
    engine.setPaused(true);
    const auto atPause = engine.sweptNonceCount();
    // Chunks under way finish (one a worker at most); none starts after them.
    EXPECT_TRUE(staysAtMost(engine, atPause + 2 * quickChunk));
    const auto settled = engine.sweptNonceCount();

    engine.setPaused(false);
    EXPECT_TRUE(eventually([&] { return engine.sweptNonceCount() > settled; }));

    // A stop reaches slices held by a pause too.
    engine.setPaused(true);
    const auto atSecondPause = engine.sweptNonceCount();
    EXPECT_TRUE(staysAtMost(engine, atSecondPause + 2 * quickChunk));
    stop.request_stop();
    EXPECT_TRUE(eventually([&] { return returned.load(); }));
}

TEST(CPUEngine, SearchStartedWhilePausedWaitsAndReturnsNothingWhenStopped) {
    CPUEngine engine(2);
    engine.setPaused(true);
    std::stop_source stop;
    std::vector<std::uint32_t> hits{42};
    std::atomic<bool> returned = false;
    std::jthread searcher([&] {
        hits = engine.search(jobFor(Target::easiest()), NonceRange(0, 1000), stop.get_token());
        returned = true;
    });
    EXPECT_TRUE(staysAtMost(engine, 0));
    EXPECT_FALSE(returned);
    stop.request_stop();
    ASSERT_TRUE(eventually([&] { return returned.load(); }));
    searcher.join();
    EXPECT_TRUE(hits.empty());
    EXPECT_EQ(engine.sweptNonceCount(), 0u);
    // An empty range has nothing to wait for, even while paused.
    EXPECT_TRUE(engine.search(jobFor(Target::easiest()), NonceRange(5, 0), {}).empty());
}

TEST(CPUEngine, BestAttemptMatchesBestDigestAfterConcurrentSearches) {
    CPUEngine engine(4);
    {
        std::vector<std::jthread> searchers;
        for (std::uint8_t seed = 0; seed < 4; ++seed) {
            searchers.emplace_back([engine, seed]() mutable {
                for (std::uint32_t round = 0; round < 25; ++round) {
                    // Small slices make many chunks, each offering a best digest.
                    engine.search(jobFor(unreachable(), seed), NonceRange(round * 8000, 8000), {});
                }
            });
        }
    }
    EXPECT_EQ(engine.sweptNonceCount(), 4u * 25 * 8000);
    const auto attempt = engine.bestAttempt();
    ASSERT_TRUE(attempt);
    EXPECT_EQ(sha256::doubleDigest(attempt->headerBytes), attempt->digest);
    EXPECT_EQ(testing::reversed(attempt->digest), engine.bestDigestBigEndianBytes());
}

TEST(CPUEngine, CourteousSearchesGiveTheSameResults) {
    CPUEngine normal(3);
    CPUEngine courteous(3);
    courteous.setCourteous(true);
    const Target target = *Target::fromBigEndianBytes(
        testing::bytesFromHex("00ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"));
    const HashJob job = jobFor(target);
    const auto expected = normal.search(job, NonceRange(0, 300'000), {});
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(courteous.search(job, NonceRange(0, 300'000), {}), expected);
    EXPECT_EQ(courteous.bestAttempt(), normal.bestAttempt());
}

}  // namespace
}  // namespace corvanta

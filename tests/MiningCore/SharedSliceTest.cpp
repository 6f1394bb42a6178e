// The chunk handout between workers: every nonce swept once, and each slice keeping its own first
// hits whichever worker swept them and in whatever order its chunks ended.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <numeric>
#include <vector>

#include "EngineState.h"
#include "SliceSearch.h"
#include "corvanta/mining/HashJob.h"

namespace corvanta::detail {
namespace {

HashJob everyNonceWins() {
    BlockHeader header{.version = 0x20000000, .time = 0x60000000, .bits = 0x17031abc};
    header.previousBlockHash.fill(0x11);
    header.merkleRoot.fill(0x22);
    return HashJob(header, Target::easiest());
}

std::vector<std::uint32_t> run(std::uint32_t first, std::uint32_t count) {
    std::vector<std::uint32_t> nonces(count);
    std::iota(nonces.begin(), nonces.end(), first);
    return nonces;
}

TEST(SharedSlices, AWorkerDoneWithItsOwnSliceSweepsTheOthers) {
    const HashJob job = everyNonceWins();
    std::vector<SharedSlice> slices(3);
    slices[0].range = NonceRange(0, 250);
    slices[1].range = NonceRange(250, 250);
    slices[2].range = NonceRange(500, 5);
    EngineState state;
    std::atomic<bool> cancel{false};
    sweepSlices(job, slices, 1, 10, false, state, cancel);

    EXPECT_EQ(state.sweptNonceCount.load(), 505u);
    EXPECT_EQ(slices[0].firstHits(), run(0, 64));
    EXPECT_EQ(slices[1].firstHits(), run(250, 64));
    EXPECT_EQ(slices[2].firstHits(), run(500, 5));

    // Nothing is left to hand out: another worker arriving now sweeps nothing.
    sweepSlices(job, slices, 0, 10, false, state, cancel);
    EXPECT_EQ(state.sweptNonceCount.load(), 505u);
}

TEST(SharedSlices, ASliceKeepsItsFirstHitsWhenALaterChunkEndsFirst) {
    const HashJob job = everyNonceWins();
    std::vector<SharedSlice> slices(1);
    EngineState state;
    std::atomic<bool> cancel{false};
    // Another worker holds nonces 0..99 while this one sweeps the rest of the slice.
    slices[0].range = NonceRange(0, 250);
    slices[0].handedOut = 100;
    sweepSlices(job, slices, 0, 10, false, state, cancel);
    // Then the held chunks end, their hits arriving after higher ones.
    slices[0].range = NonceRange(0, 100);
    slices[0].handedOut = 0;
    sweepSlices(job, slices, 0, 10, false, state, cancel);

    EXPECT_EQ(state.sweptNonceCount.load(), 250u);
    EXPECT_EQ(slices[0].firstHits(), run(0, 64));
}

TEST(SharedSlices, AWinnerStopsTheOtherWorkers) {
    const HashJob job = everyNonceWins();
    std::vector<SharedSlice> slices(2);
    slices[0].range = NonceRange(0, 100);
    slices[1].range = NonceRange(100, 100);
    EngineState state;
    std::atomic<bool> cancel{false};
    sweepSlices(job, slices, 0, 10, true, state, cancel);
    EXPECT_TRUE(cancel.load());
    EXPECT_EQ(state.sweptNonceCount.load(), 10u);

    sweepSlices(job, slices, 1, 10, true, state, cancel);
    EXPECT_EQ(state.sweptNonceCount.load(), 10u);
    EXPECT_EQ(slices[0].firstHits(), run(0, 10));
    EXPECT_TRUE(slices[1].firstHits().empty());
}

}  // namespace
}  // namespace corvanta::detail

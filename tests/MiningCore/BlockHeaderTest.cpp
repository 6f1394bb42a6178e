#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "HexBytes.h"
#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/NonceRange.h"
#include "corvanta/mining/Target.h"
#include "corvanta/sha256/Sha256.h"
#include "corvanta/vesk.h"

namespace corvanta {
namespace {

constexpr std::uint32_t genesisNonce = 2083236893;

BlockHeader genesisHeader() {
    return *BlockHeader::make(
        1, Hash32{},
        testing::hashFromDisplayHex(
            "4a5e1e4baab89f3a32518a88c31bc87f618f76673e2cc77ab2127b7afdeda33b"),
        1231006505, 0x1d00ffff, genesisNonce);
}

const Hash32 genesisHash =
    testing::hashFromDisplayHex("000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f");

TEST(BlockHeader, GenesisSerializationHashesToTheGenesisBlock) {
    const std::vector<std::uint8_t> exact32(32);
    EXPECT_FALSE(BlockHeader::make(1, std::vector<std::uint8_t>(31), exact32, 0, 0, 0));
    EXPECT_FALSE(BlockHeader::make(1, exact32, std::vector<std::uint8_t>(33), 0, 0, 0));
    EXPECT_EQ(BlockHeader{.version = -2}.serialized()[3], 0xFF);

    const auto header = genesisHeader();
    EXPECT_EQ(sha256::doubleDigest(header.serialized()), genesisHash);
    const HashJob job(header.withNonce(0), Target::easiest());
    EXPECT_EQ(job.headerBytes(genesisNonce), header.serialized());
}

TEST(HashJob, MidstateSearchFindsTheGenesisNonceAndHash) {
    const auto header = genesisHeader();
    const Target target = *Target::fromCompactBits(header.bits);
    const HashJob job(header.withNonce(0), target);

    std::array<std::uint32_t, 4> hits{};
    Hash32 bestBigEndian{};
    std::uint32_t bestNonce = 0;
    const std::uint64_t stored = vesk_search_chunk(
        job.midstate().data(), job.tail().data(), genesisNonce - 50, 101,
        target.bigEndianBytes.data(), hits.data(), hits.size(), bestBigEndian.data(), &bestNonce);
    ASSERT_EQ(stored, 1u);
    EXPECT_EQ(hits[0], genesisNonce);
    EXPECT_EQ(bestNonce, genesisNonce);
    EXPECT_EQ(testing::reversed(bestBigEndian), genesisHash);
    EXPECT_TRUE(target.isMet(genesisHash));
}

TEST(NonceRangeDeathTest, ReachesTheEndOfTheNonceSpaceButNotPast) {
    EXPECT_EQ(NonceRange(0xFFFFFFFF, 1).upperBound(), NonceRange::nonceSpace);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(NonceRange(1, NonceRange::nonceSpace), "exceeds 2\\^32");
    EXPECT_DEATH(NonceRange(0xFFFFFFFF, 2), "exceeds 2\\^32");
}

}  // namespace
}  // namespace corvanta

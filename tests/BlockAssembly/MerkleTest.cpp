#include "corvanta/assembly/Merkle.h"

#include <random>

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"

namespace corvanta {
namespace {

using testing::displayHash;

Hash32 parent(const Hash32& a, const Hash32& b) {
    Bytes both(a.begin(), a.end());
    both.insert(both.end(), b.begin(), b.end());
    return doubleSHA256(both);
}

std::vector<Hash32> randomLeaves(std::size_t count, std::mt19937& random) {
    std::vector<Hash32> leaves(count);
    for (Hash32& leaf : leaves) {
        for (auto& byte : leaf) byte = static_cast<std::uint8_t>(random());
    }
    return leaves;
}

TEST(MerkleTest, ReproducesTheRootsOfRealBlocks) {
    // Block 100,000: four transactions.
    const std::vector<Hash32> block100000{
        displayHash("8c14f0db3df150123e6f3dbbf30f8b955a8249b62ac1d1ff16284aefa3d06d87"),
        displayHash("fff2525b8931402dd09222c50775608f75787bd2b87e56995a7bdd30f79702c4"),
        displayHash("6359f0868171b1d194cbee1af2f16ea598ae8fad666d9b012c8ed2b79a236ec4"),
        displayHash("e9a66845e05d5abc0ad04ec80f774a7e585c6e8db975962d069a522137b80c1d")};
    const Hash32 expected =
        displayHash("f3e94742aca4b5ef85488dc37c06c3282295ffec960994b2c0d5ac2a25a95766");
    EXPECT_EQ(MerkleTree::root(block100000), expected);
    EXPECT_EQ(MerkleBranch::root(block100000[0], MerkleBranch::forCoinbase(block100000)), expected);

    // A regtest block of two transactions (coinbase and one segwit spend).
    const std::vector<Hash32> regtest108{
        displayHash("f9b76aea0ad971c74870c7284774aa72f0ddf470aba06c24de0ee1857a6fbe30"),
        displayHash("440360391391ccd2502b79433a0f46d3f0f57d56d53f4b1802403f61ba4994b1")};
    EXPECT_EQ(MerkleBranch::root(regtest108[0], MerkleBranch::forCoinbase(regtest108)),
              displayHash("4dc48124343a4d2d70598243dda066d7b46332f002a8fe7df336beade6c4fa64"));
}

TEST(MerkleTest, BranchRootEqualsWholeTreeRootForOneToTwentyLeaves) {
    EXPECT_TRUE(MerkleBranch::forCoinbase({}).empty());
    EXPECT_EQ(MerkleTree::root({}), std::nullopt);
    std::mt19937 random(42);
    // An odd level pairs its last entry with itself.
    const auto three = randomLeaves(3, random);
    EXPECT_EQ(MerkleTree::root(three),
              parent(parent(three[0], three[1]), parent(three[2], three[2])));

    for (std::size_t count = 1; count <= 20; ++count) {
        auto leaves = randomLeaves(count, random);
        const Hash32 coinbaseTxid = leaves[0];
        // The branch is made before the coinbase is known: its slot holds a placeholder.
        leaves[0] = Hash32{};
        const auto branch = MerkleBranch::forCoinbase(leaves);
        leaves[0] = coinbaseTxid;

        std::size_t levels = 0;
        for (std::size_t width = count; width > 1; width = (width + 1) / 2) ++levels;
        EXPECT_EQ(branch.size(), levels) << count << " leaves";
        EXPECT_EQ(MerkleBranch::root(coinbaseTxid, branch), MerkleTree::root(leaves))
            << count << " leaves";
    }
}

}  // namespace
}  // namespace corvanta

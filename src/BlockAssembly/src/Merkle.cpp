#include "corvanta/assembly/Merkle.h"

#include <algorithm>

#include "corvanta/assembly/BitcoinEncoding.h"

namespace corvanta {

namespace {

Hash32 parent(const Hash32& left, const Hash32& right) {
    std::array<std::uint8_t, 64> both{};
    std::copy(left.begin(), left.end(), both.begin());
    std::copy(right.begin(), right.end(), both.begin() + 32);
    return doubleSHA256(both);
}

std::vector<Hash32> nextLevel(std::span<const Hash32> level) {
    std::vector<Hash32> next;
    next.reserve((level.size() + 1) / 2);
    for (std::size_t i = 0; i < level.size(); i += 2) {
        next.push_back(parent(level[i], level[std::min(i + 1, level.size() - 1)]));
    }
    return next;
}

}  // namespace

std::vector<Hash32> MerkleBranch::forCoinbase(std::span<const Hash32> txids) {
    std::vector<Hash32> branch;
    std::vector<Hash32> level(txids.begin(), txids.end());
    while (level.size() >= 2) {
        branch.push_back(level[1]);
        level = nextLevel(level);
    }
    return branch;
}

Hash32 MerkleBranch::root(const Hash32& coinbaseTxid, std::span<const Hash32> branch) {
    Hash32 hash = coinbaseTxid;
    for (const Hash32& sibling : branch) hash = parent(hash, sibling);
    return hash;
}

std::optional<Hash32> MerkleTree::root(std::span<const Hash32> leaves) {
    if (leaves.empty()) return std::nullopt;
    std::vector<Hash32> level(leaves.begin(), leaves.end());
    while (level.size() > 1) level = nextLevel(level);
    return level.front();
}

}  // namespace corvanta

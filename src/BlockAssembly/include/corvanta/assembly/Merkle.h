#pragma once

#include <optional>
#include <span>
#include <vector>

#include "corvanta/mining/Hash32.h"

namespace corvanta {

// Merkle trees of transaction ids, all in hash byte order. A parent is the double SHA-256 of its
// two children; an odd level pairs its last entry with itself.

// The coinbase's path to the root, so that each new coinbase costs one hash per tree level.
namespace MerkleBranch {

// The sibling hashes from leaf 0 up, lowest level first. `txids` is the whole leaf list; the
// entry at index 0 stands for the coinbase and does not affect the result.
std::vector<Hash32> forCoinbase(std::span<const Hash32> txids);

// Folds the coinbase txid up `branch` (the coinbase is always the left child).
Hash32 root(const Hash32& coinbaseTxid, std::span<const Hash32> branch);

}  // namespace MerkleBranch

namespace MerkleTree {

// The root of the whole tree; empty for no leaves, the leaf itself for one.
std::optional<Hash32> root(std::span<const Hash32> leaves);

}  // namespace MerkleTree

}  // namespace corvanta

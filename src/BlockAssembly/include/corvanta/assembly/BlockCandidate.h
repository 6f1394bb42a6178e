#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/Target.h"

namespace corvanta {

// The raw transactions of a template after the coinbase, in template order. Shared by a job and
// every candidate made from it (a template can hold megabytes of them); never null.
using TransactionList = std::shared_ptr<const std::vector<Bytes>>;

// One block ready to hash: its header with nonce 0 and everything needed to write the whole
// block for whichever nonce wins.
struct BlockCandidate {
    BlockHeader header;  // nonce 0
    Target target;
    Hash32 merkleRoot{};    // hash byte order
    Hash32 coinbaseTxid{};  // hash byte order
    std::int64_t coinbaseValue = 0;
    std::int64_t minerRewardSats = 0;  // what the miner's output is paid
    Bytes coinbaseBytes;               // the coinbase as it goes into the block (witness form)
    TransactionList otherTransactions = std::make_shared<const std::vector<Bytes>>();

    // The coinbase and the others.
    std::size_t transactionCount() const { return otherTransactions->size() + 1; }

    // The whole block with that nonce: header, transaction count, coinbase, the others.
    Bytes serialized(std::uint32_t nonce) const;
};

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"

namespace corvanta {

namespace ScriptEncoding {

// The BIP-34 push of a block height (>= 0): OP_0 for 0, OP_1..OP_16 for 1..16, otherwise the
// minimal little-endian number with its length byte in front (and a 00 byte when the top bit
// of the last byte is set, so the number stays positive).
Bytes pushBlockHeight(std::int64_t height);

}  // namespace ScriptEncoding

// The block's first transaction, written by the miner: one input carrying the height and the
// extranonce, the reward outputs and, when the node asks for it, the segwit witness commitment.
struct CoinbaseTransaction {
    static constexpr std::size_t maxExtranonceSize = 75;  // its length byte is a direct push

    Bytes scriptSig;
    std::vector<CoinbaseOutput> outputs;     // never empty
    std::optional<Bytes> witnessCommitment;  // the whole commitment output script

    // Throws std::invalid_argument for a negative height, an extranonce over 75 bytes or no
    // outputs; callers never pass those.
    CoinbaseTransaction(std::int64_t height, std::span<const std::uint8_t> extranonce,
                        std::vector<CoinbaseOutput> outputs,
                        std::optional<Bytes> witnessCommitment);

    // The scriptSig of a coinbase at `height`: height push, then the extranonce as one push
    // (left out when empty), padded to the 2-byte consensus minimum.
    static Bytes makeScriptSig(std::int64_t height, std::span<const std::uint8_t> extranonce);

    // Double SHA-256 of the form without witness, in hash byte order.
    Hash32 txid() const;
    // The form that goes into the block. Without a commitment both forms are the same bytes.
    Bytes serializedWithWitness() const;
    Bytes serializedWithoutWitness() const;

    bool operator==(const CoinbaseTransaction&) const = default;

  private:
    Bytes serialize(bool includingWitness) const;
};

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"

namespace corvanta {

// What a serialized block says of itself and of its coinbase: enough to tell whether it paid a
// given output script, who wrote it, and to record it as found.
struct BlockCoinbase {
    Hash32 blockHash{};      // hash byte order, of the 80-byte header
    std::uint32_t time = 0;  // the header's
    Hash32 coinbaseTxID{};   // hash byte order, of the coinbase without its witness
    Bytes scriptSig;         // the coinbase input's script
    struct Output {
        std::int64_t sats = 0;
        Bytes script;
        bool operator==(const Output&) const = default;
    };
    std::vector<Output> outputs;

    // What the outputs paying `script` carry in all (saturating); 0 when none does.
    std::int64_t satsPaidTo(std::span<const std::uint8_t> script) const;

    // The height the scriptSig begins with (its first push, as every block since BIP 34 has it);
    // none when it begins with no minimal number push.
    std::optional<std::int64_t> pushedHeight() const;
    // The extranonce mark, when the scriptSig has exactly the shape this system writes: the height
    // push, then one push of the 8 extranonce bytes, and nothing else.
    std::optional<ExtranonceMark> extranonceMark() const;

    // Reads the header and the first transaction of a block as the node serializes it (with or
    // without witness); what follows the coinbase is not read. None for bytes that are not such a
    // beginning: too short, a first transaction that is no coinbase (one input spending nothing),
    // a length beyond the bytes, a negative or excessive amount.
    static std::optional<BlockCoinbase> decode(std::span<const std::uint8_t> block);
    // Reads one coinbase transaction alone, as the node serializes it (with or without witness),
    // nothing after it; blockHash and time stay unset. None as above.
    static std::optional<BlockCoinbase> decodeTransaction(
        std::span<const std::uint8_t> transaction);

    // Why the bytes are not a whole block that could be a find, if they are not: every
    // transaction read to the last byte, the header's merkle root that of their ids (so the
    // coinbase read is the block's own), and the header's hash meeting the target of its own bits.
    static std::optional<std::string> flawOfWholeBlock(std::span<const std::uint8_t> block);
};

}  // namespace corvanta

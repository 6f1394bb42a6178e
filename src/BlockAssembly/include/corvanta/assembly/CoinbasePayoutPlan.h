#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"

namespace corvanta {

struct CoinbaseOutput {
    Bytes script;  // the output script as written into the output
    std::int64_t sats = 0;

    bool operator==(const CoinbaseOutput&) const = default;
};

// The upper half of the coinbase's 8 extranonce bytes: fixed for one installation and payout
// script, so that a block on the chain tells whose it is, where paying the script does not (the
// same address may be mined elsewhere). All zeros is no mark: the bytes an unmarked miner wrote.
using ExtranonceMark = std::array<std::uint8_t, 4>;

// Who the coinbase pays (the whole block reward goes to one output script), and the mark that
// says which installation wrote it.
struct CoinbasePayoutPlan {
    Bytes minerScript;
    ExtranonceMark extranonceMark{};

    static CoinbasePayoutPlan everythingToMiner(Bytes script, ExtranonceMark mark = {});

    // The 8 extranonce bytes of a coinbase: the low 32 bits of the counter little-endian, then
    // the mark. With no mark they are the counter's 8 bytes little-endian, as long as it stays
    // below 2^32 (it rolls once per exhausted 2^32-nonce sweep of one job).
    Bytes extranonceBytes(std::uint64_t counter) const;

    // Exactly one output: `minerScript` with `totalSats`, or with 0 when the total is below 1.
    std::vector<CoinbaseOutput> outputs(std::int64_t totalSats) const;
    // What the miner's output receives of `totalSats`.
    std::int64_t minerSats(std::int64_t totalSats) const;

    bool operator==(const CoinbasePayoutPlan&) const = default;
};

}  // namespace corvanta

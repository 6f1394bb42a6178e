#pragma once

#include <cstdint>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"

namespace corvanta {

struct CoinbaseOutput {
    Bytes script;  // the output script as written into the output
    std::int64_t sats = 0;

    bool operator==(const CoinbaseOutput&) const = default;
};

// Who the coinbase pays: the whole block reward goes to one output script.
struct CoinbasePayoutPlan {
    Bytes minerScript;

    static CoinbasePayoutPlan everythingToMiner(Bytes script);

    // Exactly one output: `minerScript` with `totalSats`, or with 0 when the total is below 1.
    std::vector<CoinbaseOutput> outputs(std::int64_t totalSats) const;
    // What the miner's output receives of `totalSats`.
    std::int64_t minerSats(std::int64_t totalSats) const;

    bool operator==(const CoinbasePayoutPlan&) const = default;
};

}  // namespace corvanta

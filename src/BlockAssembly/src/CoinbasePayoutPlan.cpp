#include "corvanta/assembly/CoinbasePayoutPlan.h"

#include <algorithm>

namespace corvanta {

CoinbasePayoutPlan CoinbasePayoutPlan::everythingToMiner(Bytes script) {
    return CoinbasePayoutPlan{std::move(script)};
}

std::vector<CoinbaseOutput> CoinbasePayoutPlan::outputs(std::int64_t totalSats) const {
    return {CoinbaseOutput{minerScript, std::max<std::int64_t>(totalSats, 0)}};
}

std::int64_t CoinbasePayoutPlan::minerSats(std::int64_t totalSats) const {
    const auto all = outputs(totalSats);
    return all.empty() ? 0 : all.front().sats;
}

}  // namespace corvanta

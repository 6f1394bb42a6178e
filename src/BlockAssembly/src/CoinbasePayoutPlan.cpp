#include "corvanta/assembly/CoinbasePayoutPlan.h"

#include <algorithm>

namespace corvanta {

CoinbasePayoutPlan CoinbasePayoutPlan::everythingToMiner(Bytes script, ExtranonceMark mark) {
    return CoinbasePayoutPlan{std::move(script), mark};
}

Bytes CoinbasePayoutPlan::extranonceBytes(std::uint64_t counter) const {
    Bytes bytes;
    bytes.reserve(8);
    for (int i = 0; i < 4; ++i) bytes.push_back(std::uint8_t(counter >> (8 * i)));
    bytes.insert(bytes.end(), extranonceMark.begin(), extranonceMark.end());
    return bytes;
}

std::vector<CoinbaseOutput> CoinbasePayoutPlan::outputs(std::int64_t totalSats) const {
    return {CoinbaseOutput{minerScript, std::max<std::int64_t>(totalSats, 0)}};
}

std::int64_t CoinbasePayoutPlan::minerSats(std::int64_t totalSats) const {
    const auto all = outputs(totalSats);
    return all.empty() ? 0 : all.front().sats;
}

}  // namespace corvanta

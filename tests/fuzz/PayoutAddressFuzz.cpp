// A payout address as the user types it: the first byte picks the network, the rest is the
// text. Refused with the parser's own errors, or an address that parses back the same.

#include "FuzzSupport.h"
#include "corvanta/address/Bech32.h"
#include "corvanta/address/PayoutAddress.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto network = kAllBitcoinNetworkPrefixes[data[0] % kAllBitcoinNetworkPrefixes.size()];
    const auto text = fuzz::textOf(data + 1, size - 1);
    try {
        const auto decoded = Bech32::decode(text);
        for (const auto value : decoded.data) fuzz::expect(value < 32, "a value beyond 5 bits");
    } catch (const Bech32Error&) {
    }
    try {
        const PayoutAddress address(text, network);
        const auto& script = address.scriptPubKey();
        fuzz::expect(script.size() >= 4 && script.size() <= 42 && script[1] + 2u == script.size(),
                     "output script is not a witness program");
        fuzz::expect(PayoutAddress(address.displayString(), network) == address,
                     "address changed through a round trip");
    } catch (const PayoutAddressError&) {
    }
    return 0;
}

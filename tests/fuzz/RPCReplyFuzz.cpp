// An answer of a hostile node: the first byte picks the HTTP status, the rest is the body. Every
// failure is one of the client's own errors; an accepted result survives a round trip.

#include "FuzzSupport.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/rpc/RPCErrors.h"

using namespace corvanta;

namespace {

template <typename Read>
void readReply(Read read) {
    try {
        if (const std::optional<json::Value> result = read()) fuzz::expectJsonRoundTrip(*result);
    } catch (const RPCError&) {
    } catch (const RPCTransportError&) {
    } catch (const json::DecodeError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr int statuses[] = {200, 500, 401, 404, 0};
    const RPCClient::RawReply reply{std::string(fuzz::textOf(data + 1, size - 1)),
                                    statuses[data[0] % std::size(statuses)]};
    readReply([&] { return std::optional(RPCClient::resultOf(reply)); });
    readReply([&] { return RPCClient::optionalResultOf(reply); });
    return 0;
}

#include "corvanta/loop/ChainStatusSource.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {

RPCChainStatusSource::RPCChainStatusSource(std::shared_ptr<const RPCClient> client)
    : connection_(std::move(client)) {}

ChainPresence RPCChainStatusSource::chainPresence(const std::string& blockHashHex,
                                                  std::stop_token stop) {
    constexpr int kUnknownBlock = -5;
    try {
        const auto confirmations = connection_.call(
            "getblockheader", {RPCParam::string(blockHashHex), RPCParam::boolean(true)}, 30, stop,
            [](const json::Value& header) {
                return json::required<std::int64_t>(header, "confirmations");
            });
        if (confirmations < 0) return {ChainPresence::Orphaned{}};
        return {ChainPresence::Active{confirmations}};
    } catch (const RPCError& error) {
        if (error.code() == kUnknownBlock) return {ChainPresence::Unknown{}};
        throw;
    }
}

std::int64_t RPCChainStatusSource::bestBlockHeight(std::stop_token stop) {
    return connection_.call("getblockcount", {}, 30, stop, [](const json::Value& count) {
        return json::as<std::int64_t>(count, "getblockcount");
    });
}

}  // namespace corvanta

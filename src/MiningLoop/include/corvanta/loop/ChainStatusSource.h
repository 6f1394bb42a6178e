#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

#include "corvanta/loop/FoundBlock.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {

// How the found-block history asks the chain about a block.
class ChainStatusSource {
  public:
    virtual ~ChainStatusSource() = default;
    // `blockHashHex` is in display order. Throws RPC and transport errors, and Cancelled.
    virtual ChainPresence chainPresence(const std::string& blockHashHex, std::stop_token stop) = 0;
    // The height of the node's best block, so orphaned blocks near the tip can be re-checked.
    virtual std::int64_t bestBlockHeight(std::stop_token stop) = 0;
};

// The node's answers through the RPC client: "getblockheader" [hash, true] (error -5 is unknown,
// a negative confirmation count is orphaned) and "getblockcount". A history re-check asks about
// every block it holds, one after another: all its questions go over one kept connection. One
// thread at a time.
class RPCChainStatusSource final : public ChainStatusSource {
  public:
    explicit RPCChainStatusSource(std::shared_ptr<const RPCClient> client);
    ChainPresence chainPresence(const std::string& blockHashHex, std::stop_token stop) override;
    std::int64_t bestBlockHeight(std::stop_token stop) override;

  private:
    RPCClient::KeptConnection connection_;
};

}  // namespace corvanta

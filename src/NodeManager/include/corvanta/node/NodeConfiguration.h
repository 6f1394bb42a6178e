#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

// Everything one launch of the node needs. A plain value.
struct NodeConfiguration {
    BitcoinNetwork network;
    std::filesystem::path dataDirectory;
    int pruneMiB;  // ignored on regtest
    int rpcPort;
    int p2pPort;
    bool walletEnabled;
    bool networkingEnabled;

    // An absent port takes the network's default.
    NodeConfiguration(BitcoinNetwork network, std::filesystem::path dataDirectory, int pruneMiB,
                      std::optional<int> rpcPort, std::optional<int> p2pPort, bool walletEnabled,
                      bool networkingEnabled);

    // The node's command line without the program path. No configuration file is named, so the
    // node reads only a bitcoin.conf the user put in its data folder (how a private signet's
    // challenge and peers are given); these switches win over what it says.
    std::vector<std::string> arguments() const;
    // Where the node writes its RPC cookie.
    std::filesystem::path cookieURL() const;
    // "http://127.0.0.1:<rpcPort>/".
    std::string rpcEndpoint() const;

    bool operator==(const NodeConfiguration&) const = default;
};

}  // namespace corvanta

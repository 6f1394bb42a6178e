#include "corvanta/node/NodeConfiguration.h"

#include <utility>

namespace corvanta {

NodeConfiguration::NodeConfiguration(BitcoinNetwork network, std::filesystem::path dataDirectory,
                                     int pruneMiB, std::optional<int> rpcPort,
                                     std::optional<int> p2pPort, bool walletEnabled,
                                     bool networkingEnabled)
    : network(network),
      dataDirectory(std::move(dataDirectory)),
      pruneMiB(pruneMiB),
      rpcPort(rpcPort.value_or(defaultRPCPort(network))),
      p2pPort(p2pPort.value_or(defaultP2PPort(network))),
      walletEnabled(walletEnabled),
      networkingEnabled(networkingEnabled) {}

std::vector<std::string> NodeConfiguration::arguments() const {
    std::vector<std::string> args{
        "-datadir=" + dataDirectory.string(),
        std::string("-disablewallet=") + (walletEnabled ? "0" : "1"),
        "-server=1",
        "-rpcbind=127.0.0.1",
        "-rpcallowip=127.0.0.1",
        "-rpcport=" + std::to_string(rpcPort),
        "-port=" + std::to_string(p2pPort),
    };
    if (const auto flag = launchFlag(network)) args.emplace_back(*flag);
    if (!networkingEnabled) {
        args.emplace_back("-connect=0");
        args.emplace_back("-listen=0");
    }
    // A regtest chain is tiny and local: it is kept whole.
    if (network != BitcoinNetwork::regtest) args.push_back("-prune=" + std::to_string(pruneMiB));
    return args;
}

std::filesystem::path NodeConfiguration::cookieURL() const {
    if (const auto sub = cookieSubdirectory(network)) {
        return dataDirectory / std::string(*sub) / ".cookie";
    }
    return dataDirectory / ".cookie";
}

std::string NodeConfiguration::rpcEndpoint() const {
    return "http://127.0.0.1:" + std::to_string(rpcPort) + "/";
}

}  // namespace corvanta

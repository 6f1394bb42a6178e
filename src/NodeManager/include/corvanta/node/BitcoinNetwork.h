#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace corvanta {

// The chain the node runs. The raw value is also the per-network file and folder name and the
// persisted form of the chosen network.
enum class BitcoinNetwork { mainnet, testnet4, signet, regtest };

inline constexpr std::array<BitcoinNetwork, 4> kAllBitcoinNetworks = {
    BitcoinNetwork::mainnet, BitcoinNetwork::testnet4, BitcoinNetwork::signet,
    BitcoinNetwork::regtest};

// "mainnet", "testnet4", "signet", "regtest".
std::string_view rawValue(BitcoinNetwork network);
// Exactly one of the four raw values, case-sensitively; anything else gives nullopt.
std::optional<BitcoinNetwork> bitcoinNetwork(std::string_view rawValue);

int defaultRPCPort(BitcoinNetwork network);
int defaultP2PPort(BitcoinNetwork network);
// The node's command-line switch; none on mainnet.
std::optional<std::string_view> launchFlag(BitcoinNetwork network);
// The data directory's subfolder holding the cookie; none on mainnet.
std::optional<std::string_view> cookieSubdirectory(BitcoinNetwork network);

}  // namespace corvanta

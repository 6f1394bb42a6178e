#include "corvanta/node/BitcoinNetwork.h"

#include "corvanta/node/StorageTarget.h"

namespace corvanta {

std::string_view rawValue(BitcoinNetwork network) {
    switch (network) {
        case BitcoinNetwork::mainnet:
            return "mainnet";
        case BitcoinNetwork::testnet4:
            return "testnet4";
        case BitcoinNetwork::signet:
            return "signet";
        case BitcoinNetwork::regtest:
            return "regtest";
    }
    return "mainnet";
}

std::optional<BitcoinNetwork> bitcoinNetwork(std::string_view raw) {
    for (const BitcoinNetwork network : kAllBitcoinNetworks) {
        if (rawValue(network) == raw) return network;
    }
    return std::nullopt;
}

int defaultRPCPort(BitcoinNetwork network) {
    switch (network) {
        case BitcoinNetwork::mainnet:
            return 8332;
        case BitcoinNetwork::testnet4:
            return 48332;
        case BitcoinNetwork::signet:
            return 38332;
        case BitcoinNetwork::regtest:
            return 18443;
    }
    return 8332;
}

int defaultP2PPort(BitcoinNetwork network) {
    switch (network) {
        case BitcoinNetwork::mainnet:
            return 8333;
        case BitcoinNetwork::testnet4:
            return 48333;
        case BitcoinNetwork::signet:
            return 38333;
        case BitcoinNetwork::regtest:
            return 18444;
    }
    return 8333;
}

std::optional<std::string_view> launchFlag(BitcoinNetwork network) {
    switch (network) {
        case BitcoinNetwork::mainnet:
            return std::nullopt;
        case BitcoinNetwork::testnet4:
            return "-testnet4=1";
        case BitcoinNetwork::signet:
            return "-signet=1";
        case BitcoinNetwork::regtest:
            return "-regtest=1";
    }
    return std::nullopt;
}

std::optional<std::string_view> cookieSubdirectory(BitcoinNetwork network) {
    if (network == BitcoinNetwork::mainnet) return std::nullopt;
    return rawValue(network);
}

std::optional<StorageTarget> storageTarget(int raw) {
    for (const StorageTarget target : kAllStorageTargets) {
        if (rawValue(target) == raw) return target;
    }
    return std::nullopt;
}

}  // namespace corvanta

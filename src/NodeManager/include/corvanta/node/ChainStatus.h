#pragma once

#include <cstdint>
#include <string>

#include "corvanta/support/StrictJson.h"

namespace corvanta {

// The decoded result of "getblockchaininfo": how far the node's sync has come.
struct ChainStatus {
    std::string chain;
    std::int64_t blocks = 0;
    std::int64_t headers = 0;
    double verificationProgress = 0;
    bool initialBlockDownload = true;
    std::int64_t sizeOnDiskBytes = 0;
    bool pruned = false;
    std::string bestBlockHash;

    // All eight keys are required (a null counts as missing); other keys are ignored. Throws
    // json::DecodeError.
    static ChainStatus fromJson(const json::Value& result);

    bool isReadyToMine() const { return !initialBlockDownload && blocks == headers; }
    // Not rounded, not clamped.
    double progressPercent() const { return verificationProgress * 100.0; }

    bool operator==(const ChainStatus&) const = default;
};

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <vector>

#include "DisplayHex.h"
#include "corvanta/loop/PendingBlockStore.h"

namespace corvanta::testing {

// A pending block whose header hashes to its recorded hash, as every stored one must: a header,
// a transaction count and a few bytes. Blocks of different `seed` differ.
inline PendingBlock hashedPendingBlock(std::int64_t height, std::uint8_t seed,
                                       WallClock::time_point foundAt) {
    std::vector<std::uint8_t> header(80, 0);
    header[76] = seed;
    std::vector<std::uint8_t> block = header;
    block.insert(block.end(), {0x01, 0xaa, 0xff});
    return PendingBlock{.height = height,
                        .blockHashHex = loop::displayHex(doubleSHA256(header)),
                        .blockHex = BitcoinEncoding::hexString(block),
                        .coinbaseTxIDHex = std::string(64, 'c'),
                        .rewardSats = 5'000'000'000,
                        .foundAt = wholeSeconds(foundAt)};
}

}  // namespace corvanta::testing

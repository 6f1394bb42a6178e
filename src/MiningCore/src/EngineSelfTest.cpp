#include "corvanta/mining/EngineSelfTest.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/Target.h"
#include "corvanta/vesk.h"

namespace corvanta {
namespace {

// Mainnet block 125,552, exactly as serialized.
constexpr std::array<std::uint8_t, 80> referenceHeader = {
    0x01, 0x00, 0x00, 0x00, 0x81, 0xcd, 0x02, 0xab, 0x7e, 0x56, 0x9e, 0x8b, 0xcd, 0x93, 0x17, 0xe2,
    0xfe, 0x99, 0xf2, 0xde, 0x44, 0xd4, 0x9a, 0xb2, 0xb8, 0x85, 0x1b, 0xa4, 0xa3, 0x08, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0xe3, 0x20, 0xb6, 0xc2, 0xff, 0xfc, 0x8d, 0x75, 0x04, 0x23, 0xdb, 0x8b,
    0x1e, 0xb9, 0x42, 0xae, 0x71, 0x0e, 0x95, 0x1e, 0xd7, 0x97, 0xf7, 0xaf, 0xfc, 0x88, 0x92, 0xb0,
    0xf1, 0xfc, 0x12, 0x2b, 0xc7, 0xf5, 0xd7, 0x4d, 0xf2, 0xb9, 0x44, 0x1a, 0x42, 0xa1, 0x46, 0x95};

// Its block hash, in hash byte order.
constexpr std::array<std::uint8_t, 32> referenceHash = {
    0x1d, 0xbd, 0x98, 0x1f, 0xe6, 0x98, 0x57, 0x76, 0xb6, 0x44, 0xb1, 0x73, 0xa4, 0xd0, 0x38, 0x5d,
    0xdc, 0x1a, 0xa2, 0xa8, 0x29, 0x68, 0x8d, 0x1e, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

constexpr std::uint32_t referenceTime = 1305998791;
constexpr std::uint32_t referenceBits = 0x1a44b9f2;
constexpr std::uint32_t referenceNonce = 0x9546a142;  // 2504433986
constexpr std::uint32_t nonceMargin = 128;

}  // namespace

EngineSelfTest::Verdict EngineSelfTest::run() {
    return run(&vesk_search_chunk);
}

EngineSelfTest::Verdict EngineSelfTest::run(sha256::SearchFunction searchChunk) {
    const std::span<const std::uint8_t> header(referenceHeader);
    const auto blockHeader = BlockHeader::make(1, header.subspan(4, 32), header.subspan(36, 32),
                                               referenceTime, referenceBits, 0);
    if (!blockHeader) return Failed{"en-tête de référence illisible"};

    // The block's own hash is the highest digest that meets this target: exactly one hit.
    std::array<std::uint8_t, 32> hashBigEndian{};
    std::ranges::reverse_copy(referenceHash, hashBigEndian.begin());
    const auto target = Target::fromBigEndianBytes(hashBigEndian);
    if (!target) return Failed{"cible de référence illisible"};

    const HashJob job(*blockHeader, *target);
    std::array<std::uint32_t, 8> hits{};
    std::array<std::uint8_t, 32> bestDigest{};
    const std::uint64_t stored = searchChunk(
        job.midstate().data(), job.tail().data(), referenceNonce - nonceMargin, 2 * nonceMargin + 1,
        target->bigEndianBytes.data(), hits.data(), hits.size(), bestDigest.data(), nullptr);

    if (stored == 0) return Failed{"le nonce connu du bloc 125 552 n'a pas été retrouvé"};
    if (hits[0] != referenceNonce) {
        return Failed{"nonce inattendu : " + std::to_string(hits[0]) + " au lieu de " +
                      std::to_string(referenceNonce)};
    }
    if (bestDigest != hashBigEndian) return Failed{"condensat différent de celui de la chaîne"};
    return Passed{};
}

}  // namespace corvanta

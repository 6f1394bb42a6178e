// Each backend, the portable one included, against answers that do not come from this library:
// the FIPS 180-4 examples, real Bitcoin blocks, and the search rules worked out one header at a
// time with the streaming hasher.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "BackendParams.h"
#include "SearchHarness.h"
#include "corvanta/sha256/Sha256.h"

namespace corvanta::sha256::testing {
namespace {

const std::uint32_t kIv[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

std::string stateHex(const std::uint32_t state[8]) {
    std::uint8_t bytes[32];
    for (int i = 0; i < 8; ++i) {
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * b));
    }
    return hex(bytes, 32);
}

// A message padded by hand, so the compression is checked on its own.
std::vector<std::uint8_t> padded(const std::string& message) {
    std::vector<std::uint8_t> bytes(message.begin(), message.end());
    bytes.push_back(0x80);
    while (bytes.size() % 64 != 56) bytes.push_back(0);
    const std::uint64_t bits = 8 * message.size();
    for (int i = 7; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    return bytes;
}

std::vector<std::uint8_t> reversed(std::vector<std::uint8_t> bytes) {
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

void append(std::vector<std::uint8_t>& bytes, std::uint32_t littleEndian) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(littleEndian >> (8 * i)));
}

std::vector<std::uint8_t> header(std::uint32_t version, const std::string& previousHash,
                                 const std::string& merkleRoot, std::uint32_t time,
                                 std::uint32_t bits, std::uint32_t nonce) {
    std::vector<std::uint8_t> bytes;
    append(bytes, version);
    for (const auto& hash : {previousHash, merkleRoot}) {
        const auto stored = reversed(fromHex(hash));
        bytes.insert(bytes.end(), stored.begin(), stored.end());
    }
    append(bytes, time);
    append(bytes, bits);
    append(bytes, nonce);
    return bytes;
}

Bytes32 toBytes32(const std::vector<std::uint8_t>& bytes) {
    Bytes32 value{};
    std::copy_n(bytes.begin(), 32, value.begin());
    return value;
}

class KnownAnswers : public BackendTest {};

TEST_P(KnownAnswers, FipsCompressionExamples) {
    std::uint32_t state[8];
    std::copy(std::begin(kIv), std::end(kIv), state);
    backend().compress(state, padded("abc").data(), 1);
    EXPECT_EQ(stateHex(state), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    const auto twoBlocks = padded("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    ASSERT_EQ(twoBlocks.size(), 128u);
    std::copy(std::begin(kIv), std::end(kIv), state);
    backend().compress(state, twoBlocks.data(), 2);
    EXPECT_EQ(stateHex(state), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    backend().compress(state, nullptr, 0);
    EXPECT_EQ(stateHex(state), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// Mines a real block again: the target is the block's own hash, so its nonce is the one hit.
void expectBlockFound(const Backend& backend, const std::vector<std::uint8_t>& blockHeader,
                      std::uint32_t nonce, const std::string& blockHash) {
    const HeaderJob job = splitHeader(backend, blockHeader);
    SearchInput in;
    in.midstate = job.midstate;
    in.tail = job.tail;
    in.startNonce = nonce - 128;
    in.count = 257;
    in.target = toBytes32(fromHex(blockHash));
    in.hitCapacity = 8;
    in.bestNonceWanted = true;
    const SearchOutputs out = runSearch(backend, in);
    ASSERT_EQ(out.result, 1u);
    EXPECT_EQ(out.hits[0], nonce);
    EXPECT_EQ(out.hits[1], kUnwrittenHit);
    EXPECT_EQ(hex(out.bestDigest.data(), 32), blockHash);
    EXPECT_EQ(out.bestNonce, nonce);
}

TEST_P(KnownAnswers, GenesisBlock) {
    expectBlockFound(backend(),
                     header(1, std::string(64, '0'),
                            "4a5e1e4baab89f3a32518a88c31bc87f618f76673e2cc77ab2127b7afdeda33b",
                            1231006505, 0x1d00ffff, 0),
                     2083236893,
                     "000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f");
}

TEST_P(KnownAnswers, Block125552) {
    expectBlockFound(backend(),
                     header(1, "00000000000008a3a41b85b8b29ad444def299fee21793cd8b9e567eab02cd81",
                            "2b12fcf1b09288fcaff797d71e950e71ae42b91e8bdb2304758dfcffc2b620e3",
                            1305998791, 0x1a44b9f2, 0),
                     0x9546a142,
                     "00000000000000001e8d6829a8a21adc5d38d0a473b144b6765798e61f98bd1d");
}

// The search rules restated one nonce at a time: hits are digests (read little-endian) at or
// below the target, stored up to the capacity in nonce order and counted beyond it; the best is
// the lowest digest, the earliest on a tie, written big-endian.
SearchOutputs oneByOne(std::vector<std::uint8_t> blockHeader, const SearchInput& in) {
    SearchOutputs out;
    out.hits.fill(kUnwrittenHit);
    out.bestNonce = kUnwrittenNonce;
    out.bestDigest.fill(0xFF);
    std::uint64_t found = 0;
    bool haveBest = false;
    for (std::uint64_t i = 0; i < in.count; ++i) {
        const auto nonce = static_cast<std::uint32_t>(in.startNonce + i);
        blockHeader.resize(76);
        append(blockHeader, nonce);
        const Digest digest = doubleDigest(blockHeader);
        const Bytes32 bigEndian = toBytes32(reversed({digest.begin(), digest.end()}));
        if (bigEndian <= in.target) {
            if (found < in.hitCapacity) out.hits[found] = nonce;
            ++found;
        }
        if (!haveBest || bigEndian < out.bestDigest) {
            out.bestDigest = bigEndian;
            if (in.bestNonceWanted) out.bestNonce = nonce;
            haveBest = true;
        }
    }
    out.result = std::min(found, in.hitCapacity);
    return out;
}

TEST_P(KnownAnswers, SearchRulesHeaderByHeader) {
    std::mt19937_64 rng(0x5eed0005);
    for (std::uint64_t count = 0; count <= 13; ++count) {
        for (const std::uint8_t topByte : {0xFF, 0x3F, 0x00}) {
            std::vector<std::uint8_t> blockHeader(80);
            for (auto& byte : blockHeader) byte = static_cast<std::uint8_t>(rng());
            const HeaderJob job = splitHeader(backend(), blockHeader);
            SearchInput in;
            in.midstate = job.midstate;
            in.tail = job.tail;
            in.startNonce = 0xFFFFFFFFu - static_cast<std::uint32_t>(rng() % 8);
            in.count = count;
            in.target.fill(0xFF);
            in.target[0] = topByte;
            in.hitCapacity = 5;
            in.bestNonceWanted = count % 3 != 1;
            const SearchOutputs expected = oneByOne(blockHeader, in);
            EXPECT_EQ(runSearch(backend(), in), expected) << in;
        }
    }
}

// Nonces 274913344 and 274913345 of this header give digests with the same top 32 bits; the
// later one is lower further down, so it is the better of the two. Found by brute force: a search
// that judges the best on the top word alone keeps the earlier one. Nonce 274913343 has a higher
// digest, so starting there moves the pair to the next lanes with the same answer.
TEST_P(KnownAnswers, BestDecidedBelowTheTopWord) {
    std::vector<std::uint8_t> blockHeader(80);
    for (std::size_t i = 0; i < blockHeader.size(); ++i) {
        blockHeader[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    const HeaderJob job = splitHeader(backend(), blockHeader);
    for (const std::uint32_t start : {274913344u, 274913343u}) {
        SearchInput in;
        in.midstate = job.midstate;
        in.tail = job.tail;
        in.startNonce = start;
        in.count = 274913346u - start;
        in.hitCapacity = 64;
        const SearchOutputs out = runSearch(backend(), in);
        EXPECT_EQ(out.result, 0u);
        EXPECT_EQ(hex(out.bestDigest.data(), 32),
                  "912537171eec640ca6946dfcf3d1b974c3442a6335fb9c933f70487efb6d826d");
        EXPECT_EQ(out.bestNonce, 274913345u) << "from " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, KnownAnswers, ::testing::ValuesIn(allBackendAndBuildIds()),
                         backendTestName);

}  // namespace
}  // namespace corvanta::sha256::testing

// The wide-vector searches must give exactly the portable search's outputs: return value, stored
// hits and their order, untouched hit slots, best digest and best nonce, for every lane count,
// chunk end, wrap-around and target. Backends this processor lacks are skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "corvanta/sha256/Backend.h"
#include "corvanta/vesk.h"

namespace corvanta::sha256 {
namespace {

using Bytes32 = std::array<std::uint8_t, 32>;

struct SearchInput {
    std::array<std::uint32_t, 8> midstate{};
    std::array<std::uint8_t, 16> tail{};
    std::uint32_t startNonce = 0;
    std::uint64_t count = 0;
    Bytes32 target{};
    std::uint64_t hitCapacity = 0;
};

struct SearchOutput {
    std::uint64_t stored = 0;
    std::vector<std::uint32_t> hitSlots;  // the whole buffer, sentinels included
    Bytes32 bestDigest{};
    std::uint32_t bestNonce = 0;

    bool operator==(const SearchOutput&) const = default;
};

constexpr std::uint32_t kSentinel = 0xDEADBEEF;

SearchOutput run(const Backend& backend, const SearchInput& in) {
    SearchOutput out;
    out.hitSlots.assign(in.hitCapacity + 2, kSentinel);
    out.bestNonce = kSentinel;
    out.stored = backend.searchChunk(in.midstate.data(), in.tail.data(), in.startNonce, in.count,
                                     in.target.data(), out.hitSlots.data(), in.hitCapacity,
                                     out.bestDigest.data(), &out.bestNonce);
    return out;
}

std::string describe(const SearchInput& in) {
    return "start " + std::to_string(in.startNonce) + " count " + std::to_string(in.count) +
           " capacity " + std::to_string(in.hitCapacity) + " target top byte " +
           std::to_string(in.target[0]);
}

const Backend& portable() {
    return *findBackend("portable");
}

// A target whose top 32 bits make roughly `hitsPerMillion` of random digests a hit.
Bytes32 targetWithRate(double hitsPerMillion, std::mt19937& random) {
    Bytes32 target{};
    const auto top =
        static_cast<std::uint32_t>(std::min(hitsPerMillion * 4294.967296, 4294967295.0));
    for (int i = 0; i < 4; ++i) target[i] = static_cast<std::uint8_t>(top >> (24 - 8 * i));
    for (int i = 4; i < 32; ++i) target[i] = static_cast<std::uint8_t>(random());
    return target;
}

SearchInput randomInput(std::mt19937& random) {
    SearchInput in;
    for (auto& word : in.midstate) word = random();
    for (auto& byte : in.tail) byte = static_cast<std::uint8_t>(random());
    in.startNonce = random();
    return in;
}

class SimdBackend : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        backend_ = findBackend(GetParam());
        if (backend_ == nullptr) GTEST_SKIP() << GetParam() << " is not available on this CPU";
    }

    void expectSameAsPortable(const SearchInput& in) const {
        EXPECT_EQ(run(*backend_, in), run(portable(), in)) << describe(in);
    }

    const Backend* backend_ = nullptr;
};

TEST_P(SimdBackend, EveryShortCountWithEveryCapacityAndTargetKind) {
    std::mt19937 random(20240611);
    for (std::uint64_t count = 0; count <= 70; ++count) {
        for (const std::uint64_t capacity : {0, 1, 64}) {
            SearchInput in = randomInput(random);
            in.count = count;
            in.hitCapacity = capacity;
            for (const double rate : {0.0, 1e5, 5e5, 1e6}) {
                in.target = targetWithRate(rate, random);
                expectSameAsPortable(in);
            }
            in.target.fill(0xFF);
            expectSameAsPortable(in);
            in.target.fill(0x00);
            expectSameAsPortable(in);
        }
    }
}

TEST_P(SimdBackend, NonceWrapsAroundAtTwoToThe32) {
    std::mt19937 random(7);
    for (const std::uint32_t start : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFE1u, 0xFFFFFFC0u}) {
        for (const std::uint64_t count : {1, 2, 17, 31, 32, 33, 64, 65}) {
            SearchInput in = randomInput(random);
            in.startNonce = start;
            in.count = count;
            in.hitCapacity = 64;
            in.target = targetWithRate(3e5, random);
            expectSameAsPortable(in);
        }
    }
}

// A target equal to some nonce's digest makes that nonce a hit; one just below it shares the
// digest's top word without being met. The nonce sits late in the range, after the best digest
// is known, so the top-word rejection has to let an equal top word through to the full test.
TEST_P(SimdBackend, TargetsAtAndJustBelowADigest) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 30; ++trial) {
        SearchInput in = randomInput(random);
        in.count = 40 + 5 * static_cast<std::uint64_t>(trial);
        in.hitCapacity = 256;
        const auto chosen = static_cast<std::uint32_t>(in.startNonce + in.count - 1 - trial % 7);

        SearchInput single = in;
        single.startNonce = chosen;
        single.count = 1;
        in.target = run(portable(), single).bestDigest;  // big-endian, as targets are
        const SearchOutput atDigest = run(*backend_, in);
        EXPECT_EQ(atDigest, run(portable(), in)) << describe(in);
        const auto stored = atDigest.hitSlots.begin() + static_cast<long>(atDigest.stored);
        EXPECT_NE(std::find(atDigest.hitSlots.begin(), stored, chosen), stored);

        if (in.target[31] == 0) continue;
        --in.target[31];
        const SearchOutput below = run(*backend_, in);
        EXPECT_EQ(below, run(portable(), in)) << describe(in);
        const auto belowStored = below.hitSlots.begin() + static_cast<long>(below.stored);
        EXPECT_EQ(std::find(below.hitSlots.begin(), belowStored, chosen), belowStored);
    }
}

// A chunk of the size the engine hashes, with about a dozen hits scattered through it: most lanes
// are rejected on their top word, a few go through the full comparison. The capacity is below
// the hit count, so the stored hits must be the earliest ones and the rest only counted.
SearchInput millionNonceChunk() {
    std::mt19937 random(31337);
    SearchInput in = randomInput(random);
    in.count = 1'000'000;
    in.target = targetWithRate(12, random);
    in.hitCapacity = 8;
    return in;
}

TEST_P(SimdBackend, MillionNonceChunkWithAFewHits) {
    static const SearchInput in = millionNonceChunk();
    static const SearchOutput reference = run(portable(), in);
    EXPECT_EQ(run(*backend_, in), reference) << describe(in);
    EXPECT_EQ(reference.stored, in.hitCapacity);
}

TEST_P(SimdBackend, CountZeroAndNullBestNonce) {
    std::mt19937 random(5);
    SearchInput in = randomInput(random);
    std::uint32_t hit = kSentinel;
    Bytes32 best{};
    EXPECT_EQ(backend_->searchChunk(in.midstate.data(), in.tail.data(), 0, 0, in.target.data(),
                                    &hit, 1, best.data(), nullptr),
              0u);
    Bytes32 allOnes;
    allOnes.fill(0xFF);
    EXPECT_EQ(best, allOnes);
    EXPECT_EQ(hit, kSentinel);

    in.count = 21;
    in.hitCapacity = 1;
    in.target.fill(0xFF);
    std::uint32_t portableHit = kSentinel;
    Bytes32 portableBest{};
    portable().searchChunk(in.midstate.data(), in.tail.data(), 9, 21, in.target.data(),
                           &portableHit, 1, portableBest.data(), nullptr);
    EXPECT_EQ(backend_->searchChunk(in.midstate.data(), in.tail.data(), 9, 21, in.target.data(),
                                    &hit, 1, best.data(), nullptr),
              1u);
    EXPECT_EQ(hit, 9u);
    EXPECT_EQ(best, portableBest);
}

// Block 125,552: its header hashed at its real nonce gives the block's known hash.
TEST_P(SimdBackend, FindsBlock125552) {
    const std::string headerHex =
        "0100000081cd02ab7e569e8bcd9317e2fe99f2de44d49ab2b8851ba4a308000000000000e320b6c2fffc8d75"
        "0423db8b1eb942ae710e951ed797f7affc8892b0f1fc122bc7f5d74df2b9441a42a14695";
    std::array<std::uint8_t, 80> header{};
    for (std::size_t i = 0; i < header.size(); ++i) {
        header[i] = static_cast<std::uint8_t>(std::stoi(headerHex.substr(2 * i, 2), nullptr, 16));
    }
    std::array<std::uint32_t, 8> midstate;
    std::copy(VESK_SHA256_IV, VESK_SHA256_IV + 8, midstate.begin());
    backend_->compress(midstate.data(), header.data(), 1);

    SearchInput in;
    in.midstate = midstate;
    std::copy(header.begin() + 64, header.end(), in.tail.begin());
    const std::uint32_t realNonce = 2504433986;
    in.startNonce = realNonce - 45;
    in.count = 100;
    in.hitCapacity = 4;
    // bits 0x1a44b9f2: 0x44b9f2 shifted left by 8 * (0x1a - 3) bits.
    in.target[32 - 0x1a] = 0x44;
    in.target[33 - 0x1a] = 0xb9;
    in.target[34 - 0x1a] = 0xf2;

    const SearchOutput out = run(*backend_, in);
    ASSERT_EQ(out.stored, 1u);
    EXPECT_EQ(out.hitSlots[0], realNonce);
    EXPECT_EQ(out.bestNonce, realNonce);
    const Bytes32 blockHash = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1e, 0x8d, 0x68,
                               0x29, 0xa8, 0xa2, 0x1a, 0xdc, 0x5d, 0x38, 0xd0, 0xa4, 0x73, 0xb1,
                               0x44, 0xb6, 0x76, 0x57, 0x98, 0xe6, 0x1f, 0x98, 0xbd, 0x1d};
    EXPECT_EQ(out.bestDigest, blockHash);
}

INSTANTIATE_TEST_SUITE_P(Backends, SimdBackend, testing::Values("avx2", "avx512"),
                         [](const auto& info) { return info.param; });

// The hardware backends are ranked by timing, so only their presence and portable's place are
// fixed.
TEST(SimdDispatch, OffersWhatTheProcessorRunsWithPortableLast) {
    ASSERT_EQ(availableBackends().back().id, "portable");
#if defined(__x86_64__)
    EXPECT_EQ(findBackend("avx2") != nullptr, static_cast<bool>(__builtin_cpu_supports("avx2")));
    EXPECT_EQ(findBackend("avx512") != nullptr,
              __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"));
#else
    EXPECT_EQ(findBackend("avx2"), nullptr);
    EXPECT_EQ(findBackend("avx512"), nullptr);
#endif
}

}  // namespace
}  // namespace corvanta::sha256

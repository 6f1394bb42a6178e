// Every hardware backend must give exactly the portable backend's outputs: the return value, the
// stored hits in order (and nothing written past them), the best digest and nonce, and the
// best-nonce slot left alone on an empty search. Inputs are random but seeded, so a failure
// reproduces.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "BackendParams.h"
#include "SearchHarness.h"

namespace corvanta::sha256::testing {
namespace {

enum class TargetKind {
    everyNonce,
    aFewHits,
    none,
    random,
    equalToBest,
    justBelowBest,
    justAboveBest,
    equalToLast,
    justBelowLast
};
constexpr TargetKind kTargetKinds[] = {
    TargetKind::everyNonce,    TargetKind::aFewHits,    TargetKind::none,
    TargetKind::random,        TargetKind::equalToBest, TargetKind::justBelowBest,
    TargetKind::justAboveBest, TargetKind::equalToLast, TargetKind::justBelowLast};

const Backend& portable() {
    return *findBackend("portable");
}

// The big-endian number one above or below, saturating at the ends.
Bytes32 step(Bytes32 value, int direction) {
    for (int i = 31; i >= 0; --i) {
        const std::uint8_t edge = direction > 0 ? 0xFF : 0x00;
        if (value[i] != edge) {
            value[i] = static_cast<std::uint8_t>(value[i] + direction);
            for (int j = i + 1; j < 32; ++j) value[j] = static_cast<std::uint8_t>(~edge);
            return value;
        }
    }
    return value;
}

class InputMaker {
  public:
    explicit InputMaker(std::uint64_t seed) : rng_(seed) {}

    SearchInput make(std::uint64_t count, std::uint64_t capacity, TargetKind kind) {
        SearchInput in;
        std::vector<std::uint8_t> header(80);
        for (auto& byte : header) byte = static_cast<std::uint8_t>(rng_());
        const HeaderJob job = splitHeader(portable(), header);
        in.midstate = job.midstate;
        in.tail = job.tail;
        in.count = count;
        in.hitCapacity = capacity;
        in.startNonce = static_cast<std::uint32_t>(rng_());
        if (rng_() % 3 == 0) in.startNonce = 0xFFFFFFFFu - static_cast<std::uint32_t>(rng_() % 41);
        in.bestNonceWanted = rng_() % 4 != 0;
        in.hitListGiven = capacity > 0 || rng_() % 2 == 0;
        in.target = target(in, kind);
        return in;
    }

  private:
    Bytes32 target(const SearchInput& in, TargetKind kind) {
        Bytes32 value{};
        switch (kind) {
            case TargetKind::everyNonce:
                value.fill(0xFF);
                break;
            case TargetKind::aFewHits:  // about one nonce in eight
                value.fill(0xFF);
                value[0] = 0x1F;
                break;
            case TargetKind::none:
                break;
            case TargetKind::random:
                for (auto& byte : value) byte = static_cast<std::uint8_t>(rng_());
                break;
            case TargetKind::equalToBest:
            case TargetKind::justBelowBest:
            case TargetKind::justAboveBest: {
                // Targets on and around the best digest exercise the comparisons at equality,
                // where the top words tie and only the lower bytes decide.
                SearchInput probe = in;
                probe.hitCapacity = 0;
                value = runSearch(portable(), probe).bestDigest;
                if (kind == TargetKind::justBelowBest) value = step(value, -1);
                if (kind == TargetKind::justAboveBest) value = step(value, +1);
                break;
            }
            case TargetKind::equalToLast:
            case TargetKind::justBelowLast: {
                // The last nonce is rarely the best, so this hit (or near miss) is decided by a
                // digest that does not improve the best.
                SearchInput probe = in;
                probe.startNonce = static_cast<std::uint32_t>(in.startNonce + in.count - 1);
                probe.count = 1;
                value = runSearch(portable(), probe).bestDigest;
                if (kind == TargetKind::justBelowLast) value = step(value, -1);
                break;
            }
        }
        return value;
    }

    std::mt19937_64 rng_;
};

void expectSameAsPortable(const Backend& backend, const SearchInput& in) {
    const SearchOutputs expected = runSearch(portable(), in);
    const SearchOutputs actual = runSearch(backend, in);
    EXPECT_TRUE(actual.inputsUntouched) << in;
    EXPECT_EQ(actual, expected) << in << "\n  expected " << expected << "\n  actual   " << actual;
}

class BackendEquivalence : public BackendTest {};

TEST_P(BackendEquivalence, SmallCountsOverRandomInputs) {
    InputMaker maker(0x5eed0001);
    constexpr std::uint64_t kCapacities[] = {0, 1, 64};
    // Past two full batches of the widest backend (32 lanes), so every lane mask is exercised.
    for (std::uint64_t count = 0; count <= 70; ++count) {
        for (const std::uint64_t capacity : kCapacities) {
            for (const TargetKind kind : kTargetKinds) {
                expectSameAsPortable(backend(), maker.make(count, capacity, kind));
            }
        }
    }
}

TEST_P(BackendEquivalence, LongerRunsOverRandomInputs) {
    InputMaker maker(0x5eed0002);
    std::mt19937_64 rng(7);
    for (int trial = 0; trial < 18; ++trial) {
        const std::uint64_t count = 41 + rng() % 3000;
        const std::uint64_t capacity = trial % 2 == 0 ? 64 : 1;
        expectSameAsPortable(
            backend(), maker.make(count, capacity, kTargetKinds[trial % std::size(kTargetKinds)]));
    }
}

// A real chunk: the size the engine searches, with a target that a handful of nonces meet.
TEST_P(BackendEquivalence, MillionNonceChunk) {
    InputMaker maker(0x5eed0003);
    SearchInput in = maker.make(1'000'000, 64, TargetKind::none);
    in.target.fill(0xFF);
    in.target[0] = 0x00;
    in.target[1] = 0x00;
    in.target[2] = 0x3F;  // one nonce in 2^18
    in.bestNonceWanted = true;
    const SearchOutputs expected = runSearch(portable(), in);
    ASSERT_GT(expected.result, 0u) << "the chosen inputs should give at least one hit";
    EXPECT_EQ(runSearch(backend(), in), expected) << in;
}

TEST_P(BackendEquivalence, CompressMatchesPortableOverManyBlocks) {
    std::mt19937_64 rng(0x5eed0004);
    for (int blocks = 0; blocks <= 9; ++blocks) {
        std::vector<std::uint8_t> data(64 * static_cast<std::size_t>(blocks) + 1);
        for (auto& byte : data) byte = static_cast<std::uint8_t>(rng());
        std::uint32_t expected[8];
        for (auto& word : expected) word = static_cast<std::uint32_t>(rng());
        std::uint32_t actual[8];
        std::copy(std::begin(expected), std::end(expected), actual);
        portable().compress(expected, data.data() + 1, static_cast<std::uint64_t>(blocks));
        backend().compress(actual, data.data() + 1, static_cast<std::uint64_t>(blocks));
        EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), actual))
            << blocks << " blocks";
    }
}

// The hardware backends are ranked by timing, so only their presence and portable's place are
// fixed.
TEST(BackendDispatch, OffersWhatTheProcessorRunsWithPortableLast) {
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

// The suites above cover the search builds only through this list: it must not come back empty
// where a backend has builds, and no two builds may share an id.
TEST(BackendDispatch, ListsTheSearchBuildsOfTheBackendsPresent) {
    const bool withBuilds = findBackend("avx512") != nullptr || findBackend("sha-ni") != nullptr ||
                            findBackend("armv8") != nullptr;
    EXPECT_EQ(searchBuilds().size() >= 2, withBuilds);
    std::vector<std::string_view> ids;
    for (const Backend& build : searchBuilds()) {
        EXPECT_EQ(findBackend(build.id), nullptr) << build.id << " is not a backend id";
        ids.push_back(build.id);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    // Each backend present that is built more than one way has its builds listed, not just one
    // backend's.
    for (const std::string_view backend : {"avx512", "sha-ni", "armv8"}) {
        if (findBackend(backend) == nullptr) continue;
        const auto ofBackend = [&](std::string_view id) {
            return id.size() > backend.size() && id.substr(0, backend.size()) == backend &&
                   id[backend.size()] == '/';
        };
        EXPECT_GE(std::count_if(ids.begin(), ids.end(), ofBackend), 2) << backend;
    }
}

INSTANTIATE_TEST_SUITE_P(Hardware, BackendEquivalence,
                         ::testing::ValuesIn(hardwareBackendAndBuildIds()), backendTestName);

}  // namespace
}  // namespace corvanta::sha256::testing

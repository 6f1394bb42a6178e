// Which backend this process uses. FollowsTheEnvironment is run by CTest with
// CORVANTA_HASH_BACKEND set, and CORVANTA_EXPECTED_BACKEND naming the backend that must result
// ("fastest" for the first available one, also expected when the forced one is absent here).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "corvanta/sha256/Backend.h"

#if defined(__aarch64__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

namespace corvanta::sha256 {
namespace {

TEST(BackendChoice, FollowsTheEnvironment) {
    const char* expected = std::getenv("CORVANTA_EXPECTED_BACKEND");
    if (expected == nullptr) GTEST_SKIP() << "meaningful only as run by CTest";
    std::string wanted = expected;
    if (wanted == "fastest" || findBackend(wanted) == nullptr) {
        wanted = availableBackends().front().id;
    }
    EXPECT_EQ(activeBackend().id, wanted);
}

TEST(BackendChoice, OffersWhatThisProcessorRuns) {
    const auto backends = availableBackends();
    ASSERT_FALSE(backends.empty());
    EXPECT_EQ(backends.back().id, "portable");
#if defined(__x86_64__)
    const bool hasShaNi = __builtin_cpu_supports("sha") && __builtin_cpu_supports("ssse3") &&
                          __builtin_cpu_supports("sse4.1");
    EXPECT_EQ(findBackend("sha-ni") != nullptr, hasShaNi);
    EXPECT_EQ(findBackend("armv8"), nullptr);
#elif defined(__aarch64__)
    const bool hasSha2 = (getauxval(AT_HWCAP) & HWCAP_SHA2) != 0;
    EXPECT_EQ(findBackend("armv8") != nullptr, hasSha2);
    // The only hardware backend on this architecture: it is the one in use when present.
    if (hasSha2 && std::getenv("CORVANTA_HASH_BACKEND") == nullptr) {
        EXPECT_EQ(activeBackend().id, "armv8");
        EXPECT_EQ(activeBackend().label, "ARMv8");
    }
#endif
}

}  // namespace
}  // namespace corvanta::sha256

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "Backends.h"
#if defined(__aarch64__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif
#include "corvanta/vesk.h"

namespace corvanta::sha256 {
namespace {

// This thread's processor time: unlike the wall clock, not inflated when another process takes
// the core in the middle of a timing.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The fastest backend depends on the processor (SHA extensions against wide vectors, how each is
// clocked, how many streams fill its SHA unit), so candidates are timed once on a short search:
// each one's best of three, the trials taking turns so that a passing disturbance does not fall
// on one candidate's trials alone.
std::vector<double> bestTimes(std::span<const Backend> candidates) {
    constexpr std::uint64_t kNonces = 32'768;
    const std::uint32_t midstate[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::uint8_t tail[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    const std::uint8_t target[32] = {};  // nothing meets it: no hit bookkeeping in the timing
    std::uint8_t best[32];
    std::vector<double> fastest(candidates.size(), std::numeric_limits<double>::infinity());
    for (int trial = 0; trial < 3; ++trial) {
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const double started = threadSeconds();
            candidates[i].searchChunk(midstate, tail, 0, kNonces, target, nullptr, 0, best,
                                      nullptr);
            fastest[i] = std::min(fastest[i], threadSeconds() - started);
        }
    }
    return fastest;
}

// The backend with the search of whichever of its contending builds is fastest here.
Backend withFastestBuild(Backend backend, std::span<const Backend> contenders) {
    const std::vector<double> times = bestTimes(contenders);
    const auto fastest = std::min_element(times.begin(), times.end()) - times.begin();
    backend.searchChunk = contenders[static_cast<std::size_t>(fastest)].searchChunk;
    return backend;
}

void rankBySpeed(std::vector<Backend>& backends) {
    if (backends.size() < 2) return;
    const std::vector<double> times = bestTimes(backends);
    std::vector<std::pair<double, Backend>> timed;
    for (std::size_t i = 0; i < backends.size(); ++i) timed.emplace_back(times[i], backends[i]);
    std::stable_sort(timed.begin(), timed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < backends.size(); ++i) backends[i] = timed[i].second;
}

std::vector<Backend> detectBackends() {
    std::vector<Backend> found;
    // Each hardware backend behind its CPU check; their order is settled by timing them.
#if defined(__x86_64__)
    __builtin_cpu_init();  // the first search may come from a static constructor
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
        found.push_back(withFastestBuild(backends::avx512, backends::avx512Builds));
    }
    if (__builtin_cpu_supports("sha") && __builtin_cpu_supports("ssse3") &&
        __builtin_cpu_supports("sse4.1")) {
        found.push_back(withFastestBuild(backends::shaNi, backends::shaNiContenders));
    }
    if (__builtin_cpu_supports("avx2")) found.push_back(backends::avx2);
#endif
#if defined(__aarch64__)
    if ((getauxval(AT_HWCAP) & HWCAP_SHA2) != 0) {
        found.push_back(withFastestBuild(backends::armv8, backends::armv8Contenders));
    }
#endif
    rankBySpeed(found);
    found.push_back(backends::portable);
    return found;
}

const Backend& chooseBackend() {
    const auto backends = availableBackends();
    if (const char* forced = std::getenv("CORVANTA_HASH_BACKEND"); forced != nullptr && *forced) {
        if (const Backend* backend = findBackend(forced)) return *backend;
        // Whoever forces a backend (say, to run under valgrind) must learn that it did not hold.
        std::fprintf(stderr, "CORVANTA_HASH_BACKEND=%s is not available here; using %.*s\n", forced,
                     static_cast<int>(backends.front().id.size()), backends.front().id.data());
    }
    return backends.front();
}

}  // namespace

std::span<const Backend> availableBackends() {
    static const std::vector<Backend> backends = detectBackends();
    return backends;
}

const Backend* findBackend(std::string_view id) {
    for (const Backend& backend : availableBackends()) {
        if (backend.id == id) return &backend;
    }
    return nullptr;
}

std::span<const Backend> searchBuilds() {
    static const std::vector<Backend> builds = [] {
        std::vector<Backend> all;
        const auto addIfPresent = [&all](const Backend& backend, std::span<const Backend> more) {
            if (findBackend(backend.id) != nullptr) all.insert(all.end(), more.begin(), more.end());
        };
#if defined(__x86_64__)
        addIfPresent(backends::avx512, backends::avx512Builds);
        addIfPresent(backends::shaNi, backends::shaNiBuilds);
#endif
#if defined(__aarch64__)
        addIfPresent(backends::armv8, backends::armv8Builds);
#endif
        return all;
    }();
    return builds;
}

const Backend& activeBackend() {
    static const Backend& backend = chooseBackend();
    return backend;
}

}  // namespace corvanta::sha256

extern "C" {

const uint32_t VESK_SHA256_IV[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

void vesk_sha256_compress(uint32_t state[8], const uint8_t* data, uint64_t block_count) {
    corvanta::sha256::activeBackend().compress(state, data, block_count);
}

uint64_t vesk_search_chunk(const uint32_t midstate[8], const uint8_t tail[16], uint32_t start_nonce,
                           uint64_t count, const uint8_t target[32], uint32_t* hits,
                           uint64_t hit_capacity, uint8_t best_digest_out[32],
                           uint32_t* best_nonce_out) {
    return corvanta::sha256::activeBackend().searchChunk(midstate, tail, start_nonce, count, target,
                                                         hits, hit_capacity, best_digest_out,
                                                         best_nonce_out);
}
}

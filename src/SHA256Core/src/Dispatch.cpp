#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Backends.h"
#if defined(__aarch64__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif
#include "corvanta/vesk.h"

namespace corvanta::sha256 {
namespace {

std::vector<Backend> detectBackends() {
    std::vector<Backend> found;
    // Faster backends are pushed before this line as they are added, each behind its CPU check.
#if defined(__x86_64__)
    if (__builtin_cpu_supports("sha") && __builtin_cpu_supports("ssse3") &&
        __builtin_cpu_supports("sse4.1")) {
        found.push_back(backends::shaNi);
    }
#endif
#if defined(__aarch64__)
    if ((getauxval(AT_HWCAP) & HWCAP_SHA2) != 0) found.push_back(backends::armv8);
#endif
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

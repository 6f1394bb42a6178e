#pragma once

// The backends compiled into this library. Each is a pair of functions with the exact contract
// of vesk_sha256_compress / vesk_search_chunk; Dispatch.cpp decides which ones this CPU may run.

#include <cstdint>

#include "corvanta/sha256/Backend.h"

namespace corvanta::sha256::backends {

extern const Backend portable;
#if defined(__x86_64__)
extern const Backend shaNi;
#endif
#if defined(__aarch64__)
extern const Backend armv8;
#endif

#if defined(__x86_64__)
extern const Backend avx2;    // requires AVX2
extern const Backend avx512;  // requires AVX-512F and AVX-512VL
#endif

}  // namespace corvanta::sha256::backends

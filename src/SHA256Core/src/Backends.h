#pragma once

// The backends compiled into this library. Each is a pair of functions with the exact contract
// of vesk_sha256_compress / vesk_search_chunk; Dispatch.cpp decides which ones this CPU may run.

#include <array>
#include <cstdint>
#include <type_traits>

#include "corvanta/sha256/Backend.h"

namespace corvanta::sha256::backends {

extern const Backend portable;
#if defined(__x86_64__)
// Runs the fastest of shaNiContenders once Dispatch.cpp has timed them.
extern const Backend shaNi;
// The SHA-NI search in every build made (streams side by side, how it was compiled), and the
// builds among them that may be the fastest, depending on the processor.
extern const std::array<Backend, 5> shaNiBuilds;
extern const std::array<Backend, 3> shaNiContenders;
#endif
#if defined(__aarch64__)
// Runs the fastest of armv8Contenders once Dispatch.cpp has timed them.
extern const Backend armv8;
// The ARMv8 search at every number of streams built, and the builds that may be the fastest.
extern const std::array<Backend, 3> armv8Builds;
extern const std::array<Backend, 2> armv8Contenders;
#endif

#if defined(__x86_64__)
extern const Backend avx2;  // requires AVX2
// Requires AVX-512F and AVX-512VL. Runs the faster of avx512Builds (one or two groups of 16 lanes)
// once Dispatch.cpp has timed them.
extern const Backend avx512;
extern const std::array<Backend, 2> avx512Builds;
#endif

}  // namespace corvanta::sha256::backends

namespace corvanta::sha256 {

// The two routines as function types, so that a backend's own definitions can be declared
// without writing the signatures out again.
using CompressRoutine = std::remove_pointer_t<CompressFunction>;
using SearchRoutine = std::remove_pointer_t<SearchFunction>;

// The routines of the backends on SHA instructions, each pair split over a compression file and a
// search file. Calling them on a processor without those instructions faults with an illegal
// instruction.
#if defined(__x86_64__)
namespace shani {
CompressRoutine compress;
SearchRoutine searchChunkUnscheduled;  // two streams, for the benchmark's baseline
}  // namespace shani
#endif
#if defined(__aarch64__)
namespace armv8 {
CompressRoutine compress;
}  // namespace armv8
#endif

}  // namespace corvanta::sha256

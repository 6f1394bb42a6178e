// The SHA-NI backend's search builds. How many streams fill the SHA unit depends on the
// processor: on the Intel Xeon it was tuned on, a round pair takes 4 cycles to finish and the unit
// accepts one every 3, so two or three streams saturate it; AMD Zen 3 takes about five times as
// long to finish one as to accept the next, which calls for more. The backend times three, four
// and five streams at first use and runs the fastest; the benchmark times every build.
//
// This file is compiled with instruction scheduling before register allocation (see the CMake
// file). Past two streams the 16 xmm registers (xmm0 holds the round key) cannot hold every
// stream's two state and four message quads; the scheduler's register-pressure model keeps the
// states of three streams in registers and spills only message quads (four and five streams
// spill some state too), and orders the round pairs so the unit overlaps them. That measured 16%
// faster for two streams on that Xeon. The two-stream search as it was before (unscheduled, its
// message words worked out just in time) stays in the benchmark as the baseline.

#include <array>

#include "Backends.h"
#include "ShaNiSearchKernel.h"

namespace corvanta::sha256::backends {
namespace {

template <int kStreams>
constexpr Backend build(std::string_view id, std::string_view label) {
    return {id, label, shani::compress, shani::searchChunkWith<kStreams>};
}

}  // namespace

constexpr std::array<Backend, 5> shaNiBuilds = {{
    build<2>("sha-ni/2", "SHA-NI, 2 streams"),
    build<3>("sha-ni/3", "SHA-NI, 3 streams"),
    build<4>("sha-ni/4", "SHA-NI, 4 streams"),
    build<5>("sha-ni/5", "SHA-NI, 5 streams"),
    {"sha-ni/2-unscheduled", "SHA-NI, 2 streams, compiled without scheduling", shani::compress,
     shani::searchChunkUnscheduled},
}};

constexpr std::array<Backend, 3> shaNiContenders = {shaNiBuilds[1], shaNiBuilds[2], shaNiBuilds[3]};

constexpr Backend shaNi = build<3>("sha-ni", "SHA-NI");

}  // namespace corvanta::sha256::backends

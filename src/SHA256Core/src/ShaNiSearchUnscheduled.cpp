// The two-stream SHA-NI search as it was before it got instruction scheduling (see
// ShaNiSearch.cpp) and its message schedule one quad ahead: only the benchmark runs it, as the
// baseline measured in the same run.

#include "Backends.h"
#include "ShaNiSearchKernel.h"

namespace corvanta::sha256::shani {

std::uint64_t searchChunkUnscheduled(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                                     std::uint32_t startNonce, std::uint64_t count,
                                     const std::uint8_t target[32], std::uint32_t* hits,
                                     std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                                     std::uint32_t* bestNonceOut) {
    return searchChunkWith<2, Schedule::justInTime>(midstate, tail, startNonce, count, target, hits,
                                                    hitCapacity, bestDigestOut, bestNonceOut);
}

}  // namespace corvanta::sha256::shani

#pragma once

// The SHA-NI backend's two routines, for x86-64 processors with the SHA extensions. Calling
// them on any other processor faults with an illegal instruction.

#include <cstdint>

namespace corvanta::sha256::shani {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount);

std::uint64_t searchChunk(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                          std::uint32_t startNonce, std::uint64_t count,
                          const std::uint8_t target[32], std::uint32_t* hits,
                          std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                          std::uint32_t* bestNonceOut);

}  // namespace corvanta::sha256::shani

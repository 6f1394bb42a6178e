// General-purpose compression on SHA-NI.

#include "Backends.h"
#include "ShaNiPrimitives.h"

#pragma GCC push_options
#pragma GCC target("sha,sse4.1")

// Inside the target region, so that the template is compiled for SHA-NI.
#include "InstructionCompress.h"

namespace corvanta::sha256::shani {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    instructions::compressBlocks<Isa>(state, data, blockCount);
}

}  // namespace corvanta::sha256::shani

#pragma GCC pop_options

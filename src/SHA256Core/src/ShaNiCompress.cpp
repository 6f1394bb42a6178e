// General-purpose compression on SHA-NI.

#include "Backends.h"
#include "ShaNiPrimitives.h"

#include "InstructionCompress.h"

namespace corvanta::sha256::shani {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    instructions::compressBlocks<Isa>(state, data, blockCount);
}

}  // namespace corvanta::sha256::shani


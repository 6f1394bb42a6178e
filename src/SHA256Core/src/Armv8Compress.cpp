// General-purpose compression on the ARMv8 SHA-2 instructions.

#include "Armv8Primitives.h"
#include "Backends.h"
#include "InstructionCompress.h"

namespace corvanta::sha256::armv8 {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    instructions::compressBlocks<Isa>(state, data, blockCount);
}

}  // namespace corvanta::sha256::armv8

#pragma once

#include <cstdint>
#include <span>

namespace corvanta {

// Whether a signet block needs no signature: the node checks each block's solution against the
// chain's challenge script (flags P2SH, WITNESS, DERSIG and NULLDUMMY), and a coinbase whose
// witness commitment carries no signet section, as ours, gives it an empty scriptSig and witness.
//
// Decided exactly for challenges made of pushes, OP_1NEGATE, OP_1 to OP_16, OP_NOP, OP_VERIFY,
// OP_DROP and OP_DUP, within the node's limits on script size, push size, operations and stack.
// Any other opcode, and any witness program, counts as needing a signature, which this system
// cannot make: a wrong "met" would hash blocks the node refuses, a wrong "not met" only leaves a
// signet unmined.
bool signetChallengeMetByEmptySolution(std::span<const std::uint8_t> challenge);

}  // namespace corvanta

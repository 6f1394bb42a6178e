#pragma once

// The contract between the multi-lane nonce-search kernels (each compiled for its own instruction
// set) and the baseline driver that owns the hit list and the best digest.
//
// This header is included by translation units built with -mavx2 / -mavx512f: it must only
// declare types and functions, never define code with external linkage, or the linker could hand
// the baseline library a copy compiled for an instruction set the processor lacks.

#include <cstdint>

namespace corvanta::sha256::lanes {

inline constexpr int kMaxLanes = 32;

// What a search call fixes once: everything of the first hash that does not depend on the nonce.
// The nonce is message word 3 of the first-hash block, so rounds 0..2 and parts of round 3 and of
// the message schedule are the same for every nonce of the call.
struct SearchJob {
    std::uint32_t startNonce;
    std::uint32_t midstate[8];
    std::uint32_t enteringRound3[8];  // working state a..h after rounds 0..2
    std::uint32_t round3E;            // e after round 3, less message word 3
    std::uint32_t round3A;            // a after round 3, less message word 3
    std::uint32_t w16;                // schedule words 16 and 17 are nonce-free
    std::uint32_t w17;
    std::uint32_t w18Base;  // word 18 less sigma0(word 3)
    std::uint32_t w19Base;  // word 19 less word 3
};

// One batch of lanes in which at least one lane could be a hit or a new best. Lanes whose digest
// is certainly neither were rejected on their top 32 bits and are not flagged.
struct CandidateBatch {
    std::uint64_t offset;               // of lane 0 from the start nonce
    std::uint32_t candidates;           // bit i set: lane i needs the full comparison
    std::uint32_t state[8][kMaxLanes];  // final second-hash state words h0..h7 of each lane
};

// Hashes the nonces at offsets [from, to) from the start nonce, batch by batch, and stops after
// the first batch holding a lane whose digest's top 32 bits (as a little-endian number) are at
// most `threshold`; that batch is written to `out`. Returns the offset after the last nonce
// hashed; out.candidates is 0 when the range ended without a candidate.
using ScanFunction = std::uint64_t (*)(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                                       std::uint32_t threshold, CandidateBatch& out);

std::uint64_t scanAvx2(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                       std::uint32_t threshold, CandidateBatch& out);
// AVX-512 with one vector of 16 lanes per step, or two independent vectors (32 nonces in flight)
// whose dependency chains the processor can overlap. Which is faster depends on how many vector
// pipes the core has and how its front end copes with the larger loop: they are timed.
std::uint64_t scanAvx512x16(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                            std::uint32_t threshold, CandidateBatch& out);
std::uint64_t scanAvx512x32(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                            std::uint32_t threshold, CandidateBatch& out);

// The full search on top of a kernel: same arguments and results as vesk_search_chunk.
std::uint64_t searchInLanes(ScanFunction scan, const std::uint32_t midstate[8],
                            const std::uint8_t tail[16], std::uint32_t startNonce,
                            std::uint64_t count, const std::uint8_t target[32], std::uint32_t* hits,
                            std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                            std::uint32_t* bestNonceOut);

}  // namespace corvanta::sha256::lanes

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace corvanta::sha256 {

using CompressFunction = void (*)(std::uint32_t state[8], const std::uint8_t* data,
                                  std::uint64_t blockCount);
using SearchFunction = std::uint64_t (*)(const std::uint32_t midstate[8],
                                         const std::uint8_t tail[16], std::uint32_t startNonce,
                                         std::uint64_t count, const std::uint8_t target[32],
                                         std::uint32_t* hits, std::uint64_t hitCapacity,
                                         std::uint8_t bestDigestOut[32],
                                         std::uint32_t* bestNonceOut);

// One implementation of the two routines. Every backend gives exactly the portable one's outputs.
struct Backend {
    std::string_view id;     // as accepted by CORVANTA_HASH_BACKEND: "portable", "sha-ni", ...
    std::string_view label;  // as shown in the engine's name: "portable", "SHA-NI", "ARMv8", ...
    CompressFunction compress;
    SearchFunction searchChunk;
};

// The backends this processor can run, fastest first; the portable one is always last.
std::span<const Backend> availableBackends();

// The backend with that id if this processor can run it.
const Backend* findBackend(std::string_view id);

// Every build of a hardware backend's search that this processor can run (how many nonces it
// hashes side by side, how it was compiled), the one the backend runs among them: for the
// benchmark, so the choice can be measured again on a new processor, and for the differential
// test, so that no build goes unchecked. Each gives exactly the portable search's outputs.
std::span<const Backend> searchBuilds();

// The backend behind vesk_*: CORVANTA_HASH_BACKEND when it names an available backend, else the
// fastest available one. Chosen once per process.
const Backend& activeBackend();

}  // namespace corvanta::sha256

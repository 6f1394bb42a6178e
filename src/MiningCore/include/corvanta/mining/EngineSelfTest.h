#pragma once

#include <string>
#include <variant>

#include "corvanta/sha256/Backend.h"

namespace corvanta {

// Proves that the hashing core computes real Bitcoin block hashes: re-mines mainnet block
// 125,552 over the 257 nonces around its own and compares nonce and hash with the chain's.
struct EngineSelfTest {
    struct Passed {
        bool operator==(const Passed&) const = default;
    };
    struct Failed {
        std::string reason;  // French; a fixed text, or composed for an unexpected nonce
        bool operator==(const Failed&) const = default;
    };
    using Verdict = std::variant<Passed, Failed>;

    // With the nonce search behind vesk_search_chunk, whatever any engine is doing.
    static Verdict run();
    // With the given nonce search in its place (one backend's, or a deliberately broken one).
    static Verdict run(sha256::SearchFunction searchChunk);
};

}  // namespace corvanta

// The nonce-search kernel on AVX-512: sixteen lanes per vector, two vectors interleaved.
// Built with -mavx512f -mavx512vl; runs only after the dispatcher has checked the processor.

#include "Avx512Word.h"

namespace corvanta::sha256::lanes {

std::uint64_t scanAvx512(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                         std::uint32_t threshold, CandidateBatch& out) {
    return scanLanes<Pair<Avx512Word>>(job, from, to, threshold, out);
}

}  // namespace corvanta::sha256::lanes

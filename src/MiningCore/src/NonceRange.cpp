#include "corvanta/mining/NonceRange.h"

#include <cstdio>
#include <cstdlib>

namespace corvanta {

NonceRange::NonceRange(std::uint32_t start, std::uint64_t count) : start_(start), count_(count) {
    // Checked in release builds too: a range past 2^32 would wrap around and search nonces that
    // were never asked for.
    if (count > nonceSpace - start) {
        std::fprintf(stderr, "NonceRange: start %u + count %llu exceeds 2^32\n", start,
                     static_cast<unsigned long long>(count));
        std::abort();
    }
}

}  // namespace corvanta

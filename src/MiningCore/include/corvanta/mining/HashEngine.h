#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "corvanta/mining/Hash32.h"
#include "corvanta/mining/HashJob.h"
#include "corvanta/mining/NonceRange.h"

namespace corvanta {

// Something that searches a nonce range of one header for nonces meeting the job's target.
class HashEngine {
  public:
    virtual ~HashEngine() = default;

    virtual std::string name() const = 0;

    // The lowest digest seen so far, big-endian (hash bytes reversed); empty until something has
    // been hashed.
    virtual std::optional<Hash32> bestDigestBigEndianBytes() const = 0;

    // Blocks until the range is exhausted, or a winner is found when stopAtFirstWinner is set, or
    // `stop` is requested; returns the winning nonces found, ascending. A stop is not an error:
    // the hits found before it are returned, so a winner found at the last moment is not lost.
    virtual std::vector<std::uint32_t> search(const HashJob& job, NonceRange range,
                                              bool stopAtFirstWinner, std::stop_token stop) = 0;

    std::vector<std::uint32_t> search(const HashJob& job, NonceRange range, std::stop_token stop) {
        return search(job, range, false, std::move(stop));
    }
};

}  // namespace corvanta

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/Hash32.h"
#include "corvanta/mining/HashEngine.h"

namespace corvanta {

namespace detail {
struct EngineState;
}

// The hash engine on this machine's CPU cores. A search is split into up to `threadCount`
// slices, each swept on a worker thread in chunks (of 1,000,000 nonces by default); a worker done
// with its own slice takes chunks of the others, so that no core idles while one slice lags.
// Pause and stop take effect between chunks. The running figures (nonces swept, best digest and the
// header that gave it) cover the engine's whole life and are never reset.
//
// Copies share one state: figures and flags set through one copy are seen through every copy.
// Every member may be called from any thread.
class CPUEngine final : public HashEngine {
  public:
    struct BestAttempt {
        std::array<std::uint8_t, BlockHeader::byteCount> headerBytes{};
        Hash32 digest{};  // double SHA-256 of headerBytes, in hash byte order

        bool operator==(const BestAttempt&) const = default;
    };

    static constexpr std::uint64_t defaultChunkSize = 1'000'000;
    static constexpr std::size_t hitCapacityPerSlice = 64;

    // A thread count below 1 becomes 1. The chunk size (at least 1) bounds how long pause and
    // stop take to be noticed; only tests have a reason to change it.
    explicit CPUEngine(int threadCount, std::uint64_t chunkSize = defaultChunkSize);

    // Copying shares the state. There are no moves: a moved-from engine would have none.
    CPUEngine(const CPUEngine&) = default;
    CPUEngine& operator=(const CPUEngine&) = default;

    int threadCount() const { return threadCount_; }
    std::uint64_t chunkSize() const { return chunkSize_; }

    // "CPU <backend> ×N", for example "CPU SHA-NI ×8" or "CPU ARMv8 ×8".
    std::string name() const override;

    std::uint64_t sweptNonceCount() const;
    std::optional<BestAttempt> bestAttempt() const;
    std::optional<Hash32> bestDigestBigEndianBytes() const override;

    // The number of slices the next search is split into: the last count set, clamped to
    // 1...threadCount, or threadCount when none was set. Running searches keep their slices.
    int currentWorkerCount() const;
    void setWorkerCount(int count);

    // While paused, running searches start no new chunk and new searches wait to start.
    bool isPaused() const;
    void setPaused(bool paused);

    // Courteous searches run on worker threads of idle scheduling priority, so that any other
    // work on the machine goes first. Applies from the next search.
    bool isCourteous() const;
    void setCourteous(bool courteous);

    // The logical CPUs of the performance cores this process may run on (all the CPUs it may run
    // on when the processor is not hybrid); at least 1. Asked afresh at every call.
    static int performanceCoreCount();
    static int defaultThreadCount();

    // Splits a range into `into` parts (at least 1) as even as possible, the larger parts first,
    // dropping empty parts: 10 nonces into 4 give 3, 3, 2, 2; 3 nonces into 8 give 1, 1, 1.
    static std::vector<NonceRange> slice(NonceRange range, int into);

    using HashEngine::search;
    // A search started while paused waits until unpaused (or returns nothing when stopped
    // meanwhile). On a stop it returns the hits found so far, after every slice has ended.
    std::vector<std::uint32_t> search(const HashJob& job, NonceRange range, bool stopAtFirstWinner,
                                      std::stop_token stop) override;

  private:
    int threadCount_;
    std::uint64_t chunkSize_;
    std::shared_ptr<detail::EngineState> state_;
};

}  // namespace corvanta

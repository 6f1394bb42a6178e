#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "corvanta/assembly/MiningJob.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/loop/MiningEvent.h"
#include "corvanta/mining/HashEngine.h"
#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta::testing {

// The installation the loop tests mine for: OP_TRUE, with a mark of its own.
inline const BlockOwnership kOwnership{{0x51}, {0x4d, 0x61, 0x72, 0x6b}};

// A regtest-difficulty job on the tip whose display hash ends in `tip`, for kOwnership.
inline MiningJob makeJob(std::uint8_t tip, std::string longPollID, std::int64_t height = 1) {
    static const char* digits = "0123456789abcdef";
    BlockTemplate blockTemplate;
    blockTemplate.version = 0x20000000;
    blockTemplate.previousBlockHash = std::string(62, '0') + digits[tip >> 4] + digits[tip & 15];
    blockTemplate.coinbaseValue = 5'000'000'000;
    blockTemplate.target = "7fffff" + std::string(58, '0');
    blockTemplate.bits = "207fffff";
    blockTemplate.minTime = 1'700'000'000;
    blockTemplate.curTime = 1'700'000'100;
    blockTemplate.height = height;
    blockTemplate.longPollID = std::move(longPollID);
    return MiningJob(blockTemplate, kOwnership.payoutPlan(), TemplateRules::segwit);
}

// Collects events from any thread.
class EventLog {
  public:
    MiningEventHandler handler() {
        return [this](const MiningEvent& event) {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        };
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    std::vector<MiningEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // The events of type T that came after the first event of type After.
    template <typename T, typename After>
    std::vector<T> after() const {
        std::vector<T> found;
        bool seen = false;
        for (const auto& event : events()) {
            seen = seen || std::holds_alternative<After>(event);
            if (const auto* e = std::get_if<T>(&event); e && seen) found.push_back(*e);
        }
        return found;
    }
    template <typename T>
    std::vector<T> all() const {
        std::vector<T> found;
        for (const auto& event : events()) {
            if (const auto* e = std::get_if<T>(&event)) found.push_back(*e);
        }
        return found;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<MiningEvent> events_;
};

class FakeTemplateSource final : public TemplateSource {
  public:
    std::function<MiningJob(std::stop_token)> onCurrent;
    std::function<MiningJob(const std::optional<std::string>&, std::stop_token)> onWaitForChange;
    std::atomic<int> currentCalls{0};
    std::atomic<int> waitCalls{0};

    MiningJob current(std::stop_token stop) override {
        ++currentCalls;
        return onCurrent(stop);
    }
    MiningJob waitForChange(const std::optional<std::string>& id, std::stop_token stop) override {
        ++waitCalls;
        return onWaitForChange(id, stop);
    }
};

// Blocks until asked to stop, then throws Cancelled, as a long-poll does.
inline MiningJob waitUntilStopped(std::stop_token stop) {
    sleepFor(std::chrono::hours(1), stop);
    throw Cancelled();
}

// A hash engine whose sweeps are scripted.
class FakeEngine final : public HashEngine {
  public:
    enum class Behaviour {
        exhaustAtOnce,        // every sweep ends at once without a hit
        holdUntilStop,        // a sweep runs until stopped, without a hit
        winAfterStop,         // a sweep runs until stopped, then reports a real winner
        winAtOnce,            // every sweep reports a real winner at once
        winFirstThenExhaust,  // the first sweep wins at once, later ones end without a hit
    };
    explicit FakeEngine(Behaviour behaviour) : behaviour_(behaviour) {}

    std::string name() const override { return "fake"; }
    std::optional<Hash32> bestDigestBigEndianBytes() const override {
        Hash32 digest{};
        digest[1] = 0x42;
        return digest;
    }
    std::vector<std::uint32_t> search(const HashJob& job, NonceRange range, bool,
                                      std::stop_token stop) override {
        const int search = ++searches;
        {
            const auto header = job.headerBytes(0);
            std::lock_guard lock(mutex_);
            headerTimes_.push_back(static_cast<std::uint32_t>(header[68]) | header[69] << 8 |
                                   header[70] << 16 | static_cast<std::uint32_t>(header[71]) << 24);
        }
        const bool winsAtOnce = behaviour_ == Behaviour::winAtOnce ||
                                (behaviour_ == Behaviour::winFirstThenExhaust && search == 1);
        if (behaviour_ == Behaviour::exhaustAtOnce ||
            (behaviour_ == Behaviour::winFirstThenExhaust && !winsAtOnce)) {
            return {};
        }
        if (!winsAtOnce) sleepFor(std::chrono::hours(1), stop);
        if (behaviour_ == Behaviour::holdUntilStop) return {};
        for (std::uint64_t n = range.start(); n < range.upperBound(); ++n) {
            const auto header = job.headerBytes(static_cast<std::uint32_t>(n));
            if (job.target().isMet(sha256::doubleDigest(header))) {
                return {static_cast<std::uint32_t>(n)};
            }
        }
        return {};
    }
    std::atomic<int> searches{0};
    // The header time of each search, in order.
    std::vector<std::uint32_t> headerTimes() const {
        std::lock_guard lock(mutex_);
        return headerTimes_;
    }

  private:
    Behaviour behaviour_;
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> headerTimes_;
};

}  // namespace corvanta::testing

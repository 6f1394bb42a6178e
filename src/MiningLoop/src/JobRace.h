#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <stop_token>
#include <variant>

#include "BackgroundTasks.h"
#include "corvanta/assembly/BlockMiner.h"
#include "corvanta/loop/BestDifficultyTracker.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/loop/MiningEvent.h"
#include "corvanta/loop/MiningLoopTimings.h"

namespace corvanta::loop {

struct RaceBlockFound {
    MiningOutcome outcome;
    std::uint64_t extranonce;
};
struct NewTemplate {
    MiningJob job;
};
// How one job's race ended: the hashing side found a block, or the template changed.
using JobRaceWinner = std::variant<RaceBlockFound, NewTemplate>;

// Remembers the tip on which a long-poll was given up while the node may still hold it. The node
// keeps such a request (and one of its few RPC threads) until its tip or mempool changes, so the
// loop never gives up more than one per tip: on that tip it polls instead.
class LongPollGuard {
  public:
    bool mayLongPoll(const Hash32& tip) const;
    void gaveUp(const Hash32& tip);
    void forgetAll();

  private:
    mutable std::mutex mutex_;
    std::optional<Hash32> tipWithAbandonedLongPoll_;
};

// The header time after the sweeps of one roll: one second later, unless that wraps below the
// job's minimum time or runs more than two hours ahead of `nowSeconds` (the wall clock).
std::uint32_t rolledHeaderTime(std::uint32_t time, std::uint32_t minTime, double nowSeconds);

// One job's race of its hashing side against a changed template.
struct JobRace {
    const MiningJob& job;
    TemplateSource& watcher;
    const BlockMiner& blockMiner;
    BestDifficultyTracker& bestDifficultyTracker;
    LongPollGuard& longPolls;
    const MiningLoopTimings& timings;
    const MiningEventHandler& onEvent;

    // A block found in the same instant as a template change on the same tip is still returned;
    // on a tip that has moved it is dropped. Throws the first side's error when it failed first
    // and no block was found.
    JobRaceWinner run(std::uint64_t startingExtranonce,
                      std::optional<std::chrono::steady_clock::time_point> receivedAt,
                      std::stop_token stop) const;

    // Full nonce sweeps, one extranonce after another, with the header time rolled by one second
    // every `timings.sweepsPerTimeRoll` exhausted sweeps (never below the job's minimum, never two
    // hours ahead).
    JobRaceWinner hashingSide(std::uint64_t startingExtranonce,
                              std::optional<std::chrono::steady_clock::time_point> receivedAt,
                              std::stop_token stop) const;
    JobRaceWinner changedTemplateSide(std::stop_token stop) const;

  private:
    JobRaceWinner pollForChange(std::stop_token stop) const;
};

// Proposes the job's extranonce-0 candidate to the node on a background thread and reports the
// verdict as an event. Never delays the job.
void validateCandidateInBackground(BackgroundTasks& tasks, const MiningJob& job,
                                   std::shared_ptr<const RPCClient> client, double timeoutSeconds,
                                   MiningEventHandler onEvent);

}  // namespace corvanta::loop

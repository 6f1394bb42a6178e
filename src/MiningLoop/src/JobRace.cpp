#include "JobRace.h"

#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/Race.h"

namespace corvanta::loop {
namespace {

using namespace mining_event;

constexpr double kMaxSecondsAhead = 7'200;
// A proposal's answer when the node already holds exactly this block as valid.
constexpr std::string_view kAlreadyHeld = "duplicate";

bool isTimeout(const RPCTransportError& error) {
    const auto* network = std::get_if<RPCTransportError::Network>(&error.kind());
    return network != nullptr && network->timedOut;
}

double secondsSince1970() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::uint32_t rolledHeaderTime(std::uint32_t time, std::uint32_t minTime, double nowSeconds) {
    const std::uint32_t next = time + 1;  // past the last second it wraps to 0
    if (next < minTime || static_cast<double>(next) > nowSeconds + kMaxSecondsAhead) return time;
    return next;
}

bool LongPollGuard::mayLongPoll(const Hash32& tip) const {
    std::lock_guard lock(mutex_);
    return tipWithAbandonedLongPoll_ != tip;
}

void LongPollGuard::gaveUp(const Hash32& tip) {
    std::lock_guard lock(mutex_);
    tipWithAbandonedLongPoll_ = tip;
}

void LongPollGuard::forgetAll() {
    std::lock_guard lock(mutex_);
    tipWithAbandonedLongPoll_.reset();
}

JobRaceWinner JobRace::run(std::uint64_t startingExtranonce,
                           std::optional<std::chrono::steady_clock::time_point> receivedAt,
                           std::stop_token stop) const {
    auto result = race<JobRaceWinner>(
        stop,
        [&](std::stop_token token) { return hashingSide(startingExtranonce, receivedAt, token); },
        [&](std::stop_token token) { return changedTemplateSide(token); });

    auto& first = result.winner();
    auto& other = result.loser();
    std::optional<RaceBlockFound> remembered;
    if (!other.failed() && other.value && std::holds_alternative<RaceBlockFound>(*other.value)) {
        remembered = std::get<RaceBlockFound>(std::move(*other.value));
    }
    if (first.failed()) {
        if (remembered) return std::move(*remembered);
        std::rethrow_exception(first.error);
    }
    if (const auto* changed = std::get_if<NewTemplate>(&*first.value)) {
        if (remembered && changed->job.previousBlockHash == job.previousBlockHash) {
            return std::move(*remembered);
        }
    }
    return std::move(*first.value);
}

JobRaceWinner JobRace::hashingSide(std::uint64_t startingExtranonce,
                                   std::optional<std::chrono::steady_clock::time_point> receivedAt,
                                   std::stop_token stop) const {
    std::uint32_t time = job.curTime;
    std::uint64_t extranonce = startingExtranonce;
    std::uint32_t sweepCounter = 0;
    bool reported = false;
    throwIfStopRequested(stop);
    while (true) {
        const auto candidate = job.candidate(extranonce, time);
        if (!reported && receivedAt) {
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - *receivedAt;
            onEvent(WorkLoaded{job.height, elapsed.count()});
            reported = true;
        }
        const auto outcome =
            blockMiner.mine(candidate, NonceRange(0, NonceRange::nonceSpace), stop);
        if (const auto best = blockMiner.bestDigestBigEndianBytes()) {
            const auto report = bestDifficultyTracker.report(
                std::vector<std::uint8_t>(best->begin(), best->end()), job.target.bigEndianBytes);
            if (report) onEvent(BestDifficulty{report->session, report->allTime, report->network});
            for (auto& notice : bestDifficultyTracker.takeNotices()) {
                onEvent(StoreNotice{std::move(notice), std::nullopt});
            }
        }
        if (outcome) return RaceBlockFound{*outcome, extranonce};
        throwIfStopRequested(stop);
        onEvent(SearchExhausted{extranonce});
        ++extranonce;
        if (++sweepCounter == timings.sweepsPerTimeRoll) {
            sweepCounter = 0;
            time = rolledHeaderTime(time, job.minTime, secondsSince1970());
        }
        throwIfStopRequested(stop);
    }
}

JobRaceWinner JobRace::changedTemplateSide(std::stop_token stop) const {
    if (!longPolls.mayLongPoll(job.previousBlockHash)) return pollForChange(stop);
    try {
        return NewTemplate{watcher.waitForChange(job.longPollID, stop)};
    } catch (const Cancelled&) {
        longPolls.gaveUp(job.previousBlockHash);
        throw;
    } catch (const RPCTransportError& error) {
        if (!isTimeout(error)) throw;
        // The node still holds the request: go on watching without adding another one.
        longPolls.gaveUp(job.previousBlockHash);
    }
    return pollForChange(stop);
}

JobRaceWinner JobRace::pollForChange(std::stop_token stop) const {
    const auto started = std::chrono::steady_clock::now();
    while (true) {
        sleepOrThrow(timings.tipPollInterval, stop);
        auto next = watcher.current(stop);
        const bool tipMoved = next.previousBlockHash != job.previousBlockHash;
        const bool transactionsChanged =
            next.longPollID != job.longPollID &&
            std::chrono::steady_clock::now() - started >= timings.mempoolRefreshInterval;
        if (tipMoved || transactionsChanged) return NewTemplate{std::move(next)};
    }
}

void validateCandidateInBackground(BackgroundTasks& tasks, const MiningJob& job,
                                   std::shared_ptr<const RPCClient> client, double timeoutSeconds,
                                   MiningEventHandler onEvent) {
    // The proposal always uses extranonce 0 and the job's own time.
    auto candidate = job.candidate(0, std::nullopt);
    tasks.spawn([candidate = std::move(candidate), height = job.height, rules = job.rules,
                 client = std::move(client), timeoutSeconds,
                 onEvent = std::move(onEvent)](std::stop_token stop) {
        try {
            const auto verdict = proposeBlock(candidate, 0, rules, *client, stop, timeoutSeconds);
            if (std::holds_alternative<ProposalVerdict::Valid>(verdict.value)) {
                onEvent(CandidateValidated{
                    height, static_cast<std::int64_t>(candidate.transactionCount())});
            } else if (const auto* rejected =
                           std::get_if<ProposalVerdict::Rejected>(&verdict.value);
                       rejected != nullptr && rejected->reason != kAlreadyHeld) {
                onEvent(CandidateRejected{height, rejected->reason});
            } else {
                // Inconclusive, or the node holds this very block already: the tip has moved
                // under the candidate, which is superseded, not refused.
                onEvent(CandidateValidationUnavailable{
                    height, "un bloc réseau est arrivé pendant le contrôle"});
            }
        } catch (const Cancelled&) {
        } catch (const std::exception& error) {
            onEvent(CandidateValidationUnavailable{height, error.what()});
        }
    });
}

}  // namespace corvanta::loop

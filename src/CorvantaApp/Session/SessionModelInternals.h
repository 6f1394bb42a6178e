#pragma once

// What the session model's source files share and nobody else needs.

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

#include <cmath>
#include <type_traits>

#include "Session/MiningSessionModel.h"
#include "corvanta/shared/MinerSnapshot.h"

namespace corvanta {

struct MiningSessionModel::Derived {
    bool isHashing = false;
    std::optional<ChainStatus> freshChainStatus;
    RPCLinkState rpcLinkState = RPCLinkState::disconnected;
    std::optional<SessionTime> confirmedNetworkTipTimestamp;
    std::optional<CandidateValidation> currentCandidateValidation;
    bool payoutNeedsAttention = false;
    std::optional<QString> payoutDivergence;
    bool scanCoversConfiguredAddress = false;
    std::optional<double> bestAttemptShareOfNetwork;
    bool scheduleIsDriving = false;
    bool isThrottledBelowRequestedMode = false;
    std::optional<WorkLoadStatistics> workLoadStatistics;
};

struct MiningSessionModel::LedgerSummary {
    int entryCount = 0;
    ProofVerification verification;
    std::vector<ProofEntry> recent;
    std::filesystem::path file;
    // What the user is told once: a journal line refused, what was set aside, and why a file
    // there could not be read.
    std::optional<ProofOfMining::JournalRefusal> journalRefusal;
    std::optional<ProofOfMining::SetAside> setAside;
    std::optional<std::string> unreadable;
};

// The ledger in use. Loaded on the ledger lane and touched only there, so what is queued after
// the load finds it loaded, while mining never waits for it.
struct MiningSessionModel::LedgerSlot {
    std::filesystem::path file;
    std::shared_ptr<ProofOfMining> ledger;
};

namespace session {

// Equality for the "notify only on a different value" rule: NaN equals NaN (a figure that stays
// unknown is no change), and a ledger verification compares every field it shows.
inline bool sameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}
inline bool sameValue(const ProofVerification& a, const ProofVerification& b) {
    return a == b && sameValue(a.bestDifficultyProven, b.bestDifficultyProven) &&
           a.firstAnchor == b.firstAnchor && a.lastAnchor == b.lastAnchor;
}
template <typename T>
bool sameValue(const T& a, const T& b);
template <typename T>
bool sameValue(const std::optional<T>& a, const std::optional<T>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || sameValue(*a, *b);
}
template <typename T>
bool sameValue(const T& a, const T& b) {
    if constexpr (std::is_floating_point_v<T>) {
        return sameValue(double(a), double(b));
    } else {
        return a == b;
    }
}

// The processors this process may run on.
int activeProcessorCount();

}  // namespace session

template <typename T, typename U>
bool MiningSessionModel::assign(T& member, U&& value, void (MiningSessionModel::*changed)()) {
    T next(std::forward<U>(value));
    if (session::sameValue(member, next)) return false;
    member = std::move(next);
    emit(this->*changed)();
    if (derived_) refreshDerived();
    return true;
}

template <typename Result>
void MiningSessionModel::offload(QThreadPool& pool, std::function<Result()> work,
                                 std::function<void(Result)> apply, std::function<void()> failed) {
    // An exception must not cross into the GUI thread's event loop: it ends as `failed`.
    auto guarded = [work = std::move(work)]() -> std::optional<Result> {
        try {
            return work();
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };
    // Owned by the model: a result that comes back after the model is gone is never applied.
    auto* watcher = new QFutureWatcher<std::optional<Result>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [watcher, apply = std::move(apply), failed = std::move(failed)] {
                watcher->deleteLater();
                std::optional<Result> result = watcher->result();
                if (result) {
                    apply(std::move(*result));
                } else if (failed) {
                    failed();
                }
            });
    watcher->setFuture(QtConcurrent::run(&pool, std::move(guarded)));
}

}  // namespace corvanta

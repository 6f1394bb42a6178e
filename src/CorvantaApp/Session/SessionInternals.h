#pragma once

// What the session's source files share and nobody else needs.

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

#include <exception>
#include <optional>
#include <thread>

#include "Session/PeriodicTask.h"
#include "Session/SessionDriver.h"
#include "Session/SessionModelInternals.h"
#include "SystemServices/EarningsTally.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/SystemGovernor.h"
#include "corvanta/node/NodeController.h"

namespace corvanta {

namespace session {

// The outcome of a blocking call made on the pool: its value, or what it threw.
template <typename T>
struct Attempt {
    std::optional<T> value;
    std::exception_ptr error;
};

template <typename T, typename Call>
Attempt<T> attempt(Call&& call) {
    try {
        return {std::optional<T>(call()), nullptr};
    } catch (...) {
        return {std::nullopt, std::current_exception()};
    }
}

// The error's own text, for the log.
QString describe(const std::exception_ptr& error);
// The user-facing explanation of the error.
QString explain(const std::exception_ptr& error);

}  // namespace session

struct SessionDriver::Session {
    int generation = 0;
    BitcoinNetwork network = BitcoinNetwork::regtest;
    PayoutResolution payout;

    bool started = false;  // the body began
    bool ended = false;    // the end of the session ran
    // Sticky: once set, the body launches nothing, mines nothing and ends at its next step.
    bool stopRequested = false;
    std::stop_source stop;

    std::shared_ptr<NodeController> controller;
    std::shared_ptr<const RPCClient> client;
    std::shared_ptr<CPUEngine> engine;
    std::shared_ptr<SessionMiner> miner;
    std::shared_ptr<MiningHistoryStore> history;
    // The key as this session met its network before the sync; the loop takes it from here.
    std::shared_ptr<InstallationRecord> installation;
    std::shared_ptr<SystemGovernor> governor;
    std::unique_ptr<EventPump<session::SessionSignal>> pump;
    std::thread minerThread;

    PeriodicTask* statusPoller = nullptr;
    PeriodicTask* networkHashPoller = nullptr;
    PeriodicTask* hashRateSampler = nullptr;
    PeriodicTask* earningsScanner = nullptr;
    PeriodicTask* historyRefresher = nullptr;
    // What a full disk left in memory is being written, now that its folder has room.
    bool savingHeldRecords = false;
    // The tip whose header the current status poller fetched.
    std::optional<std::string> rememberedTip;
    bool historyBaseline = false;
    bool earningsScanInFlight = false;
    // The figures shown: the last scan and the blocks found since.
    EarningsTally earningsTally;
    // A block came or matured since the last scan began: a scan is to confirm the figures once
    // the blocks calm down.
    bool earningsRescanWanted = false;
    bool earningsRescanTimed = false;
    bool earningsConfirmTimed = false;
    std::chrono::steady_clock::time_point lastEarningsChangeAt;
    std::optional<std::chrono::steady_clock::time_point> lastEarningsScanEndedAt;
    std::uint64_t previousSweptCount = 0;
    std::chrono::steady_clock::time_point previousSampleAt;
    unsigned templateInfoGeneration = 0;
    // A template arrived in the burst being applied and its details are yet to be fetched.
    bool templateInfoDue = false;
    // Cancels the template-details fetch in flight when a newer one starts.
    std::stop_source templateInfoStop;

    std::stop_token token() const { return stop.get_token(); }
};

template <typename Result>
void SessionDriver::later(const SessionPtr& session, std::function<Result()> work,
                          std::function<void(Result)> apply) {
    (void)session;
    // A child of the driver: a result that comes back after the model is gone is never applied.
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, apply = std::move(apply)] {
        watcher->deleteLater();
        apply(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(model_.pool_.get(), std::move(work)));
}

}  // namespace corvanta

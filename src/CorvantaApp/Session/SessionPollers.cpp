// The session's background work: node status, network hash rate, our hash rate, earnings and
// the found-block history.
#include <malloc.h>

#include <unordered_set>

#include "Notifications/MinerNotifications.h"
#include "Session/SessionInternals.h"
#include "Session/SessionRules.h"
#include "SystemServices/EarningsScan.h"
#include "Usage/UsagePulse.h"
#include "corvanta/loop/ChainStatusSource.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {

namespace {

using Kind = MiningSessionModel::RunStateKind;
constexpr std::size_t hashRateSampleLimit = 150;

struct StatusDetails {
    std::optional<SessionTime> tipTime;
    std::optional<std::int64_t> peers;
    std::optional<QString> version;
};

struct HistoryPass {
    std::vector<FoundBlock> matured;  // in this pass
    // The refresh ran on the history as read: its maturities are news from the next pass on.
    bool loaded = false;
    std::vector<std::string> notices;  // what the history says once
};

}  // namespace

PeriodicTask* SessionDriver::periodic(std::chrono::milliseconds interval,
                                      std::function<void(std::function<void()>)> pass) {
    auto* task = new PeriodicTask(interval, std::move(pass), this);
    task->start();
    return task;
}

namespace {

// Stops and drops a task; a pass still in flight ends without a successor.
void retire(PeriodicTask*& task) {
    if (!task) return;
    task->stop();
    task->deleteLater();
    task = nullptr;
}

}  // namespace

void SessionDriver::stopBackgroundTasks(const SessionPtr& session) {
    retire(session->hashRateSampler);
    retire(session->statusPoller);
    retire(session->networkHashPoller);
    ++session->templateInfoGeneration;
    session->templateInfoStop.request_stop();
    retire(session->earningsScanner);
    retire(session->historyRefresher);
}

// Node status: every few seconds the chain, a proof entry and the header time of each new tip,
// the peers and, once, the node's version.

void SessionDriver::startStatusPoller(const SessionPtr& session) {
    retire(session->statusPoller);
    session->rememberedTip.reset();
    session->statusPoller =
        periodic(environment_.timings.statusInterval,
                 [this, weak = std::weak_ptr<Session>(session)](std::function<void()> done) {
                     if (const auto session = weak.lock()) statusPass(session, std::move(done));
                 });
}

void SessionDriver::statusPass(const SessionPtr& session, std::function<void()> done) {
    PeriodicTask* const poller = session->statusPoller;
    const double timeout = environment_.timings.rpcTimeoutSeconds;
    later<session::Attempt<ChainStatus>>(
        session,
        [controller = session->controller, stop = session->token()] {
            return session::attempt<ChainStatus>([&] { return controller->status(stop); });
        },
        [this, session, poller, timeout, done](session::Attempt<ChainStatus> status) {
            // A pass of a replaced poller or of an ended session changes nothing.
            if (!isLive(session) || session->statusPoller != poller) return;
            std::optional<std::string> newTip;
            if (status.value) {
                model_.setChainStatus(*status.value);
                model_.setChainStatusUpdatedAt(model_.now());
                // Found rewards mature as the chain grows, between two scans as well.
                session->earningsTally.tipAt(status.value->blocks);
                showEarnings(session);
                if (session->rememberedTip != status.value->bestBlockHash) {
                    newTip = status.value->bestBlockHash;
                    model_.recordProofEntry(status.value->blocks, QString::fromStdString(*newTip));
                }
            }
            const bool wantsVersion = !model_.coreVersion_.has_value();
            auto details = [controller = session->controller, client = session->client,
                            stop = session->token(), newTip, wantsVersion, timeout] {
                StatusDetails found;
                try {
                    if (newTip) {
                        found.tipTime = client->call(
                            "getblockheader", {RPCParam::string(*newTip), RPCParam::boolean(true)},
                            timeout, stop,
                            [](const json::Value& result) { return blockHeaderTime(result); });
                    }
                } catch (const std::exception&) {
                    // The same tip counts as new at the next pass.
                }
                try {
                    found.peers = controller->peerCount(stop);
                } catch (const std::exception&) {
                }
                try {
                    if (wantsVersion) {
                        found.version = QString::fromStdString(client->call(
                            "getnetworkinfo", {}, timeout, stop, [](const json::Value& result) {
                                return json::required<std::string>(result, "subversion");
                            }));
                    }
                } catch (const std::exception&) {
                }
                return found;
            };
            later<StatusDetails>(
                session, std::move(details),
                [this, session, poller, newTip, done](StatusDetails found) {
                    if (!isLive(session) || session->statusPoller != poller) return;
                    if (found.tipTime) {
                        model_.setNetworkTipTimestamp(*found.tipTime);
                        model_.setNetworkTipObservedAt(model_.now());
                        session->rememberedTip = newTip;
                    }
                    if (found.peers) model_.setPeerCount(int(*found.peers));
                    if (found.version) model_.setCoreVersion(found.version);
                    if (model_.runState_.kind == Kind::mining) {
                        const QString version = QCoreApplication::applicationVersion();
                        model_.usagePulse_->noteMiningActive(
                            model_.usageStatisticsEnabled_,
                            version.isEmpty() ? std::nullopt : std::optional(version),
                            operatingSystem());
                    }
                    done();
                });
        });
}

void SessionDriver::startNetworkHashPoller(const SessionPtr& session) {
    retire(session->networkHashPoller);
    PeriodicTask** slot = &session->networkHashPoller;
    session->networkHashPoller = periodic(
        environment_.timings.networkHashInterval,
        [this, weak = std::weak_ptr<Session>(session), slot](std::function<void()> done) {
            const auto session = weak.lock();
            if (!session) return;
            PeriodicTask* const poller = *slot;
            later<session::Attempt<double>>(
                session,
                [client = session->client, stop = session->token(),
                 timeout = environment_.timings.rpcTimeoutSeconds] {
                    return session::attempt<double>([&] {
                        return client->call(
                            "getnetworkhashps", {}, timeout, stop,
                            [](const json::Value& result) { return json::as<double>(result); });
                    });
                },
                [this, session, poller, done](session::Attempt<double> rate) {
                    if (!isLive(session) || session->networkHashPoller != poller) return;
                    if (rate.value) model_.setNetworkHashesPerSecond(*rate.value);
                    done();
                });
        });
}

// Our own rate: the nonces actually swept since the previous sample, over the time that really
// passed.

void SessionDriver::startHashRateSampler(const SessionPtr& session) {
    retire(session->hashRateSampler);
    session->previousSweptCount = session->engine ? session->engine->sweptNonceCount() : 0;
    session->previousSampleAt = model_.environment_.clock.monotonicNow();
    auto* sampler = new PeriodicTask(
        environment_.timings.hashRateInterval,
        [this, weak = std::weak_ptr<Session>(session)](std::function<void()> done) {
            const auto session = weak.lock();
            if (!isLive(session) || !session->engine) return;
            const auto at = model_.environment_.clock.monotonicNow();
            const double elapsed =
                std::chrono::duration<double>(at - session->previousSampleAt).count();
            session->previousSampleAt = at;
            const std::uint64_t count = session->engine->sweptNonceCount();
            const std::uint64_t delta = count - session->previousSweptCount;
            session->previousSweptCount = count;
            model_.setSessionHashes(model_.sessionHashes_ + delta);
            model_.accumulateLifetimeHashes(delta);
            const double rate = elapsed > 0 ? double(delta) / elapsed / 1e6 : 0;
            model_.setCurrentHashRateMHs(rate);
            auto history = model_.hashRateHistory_;
            history.push_back({QString::fromStdString(makeUuid()), toDateTime(model_.now()), rate});
            if (history.size() > hashRateSampleLimit) {
                history.erase(history.begin(), history.end() - hashRateSampleLimit);
            }
            model_.setHashRateHistory(std::move(history));
            saveHeldRecordsWhenRoom(session);
            done();
        },
        this);
    session->hashRateSampler = sampler;
    // The first sample comes one interval after the start, not at once.
    QTimer::singleShot(environment_.timings.hashRateInterval, sampler,
                       [sampler] { sampler->start(); });
}

// Earnings: one scan at once, then one per period; never two at a time.

void SessionDriver::startEarningsScanner(const SessionPtr& session) {
    retire(session->earningsScanner);
    session->earningsScanner =
        periodic(environment_.timings.earningsInterval,
                 [this, weak = std::weak_ptr<Session>(session)](std::function<void()> done) {
                     if (const auto session = weak.lock()) earningsPass(session, std::move(done));
                 });
}

namespace {

// A scan's figures and the outputs it counted as immature, which may mature before the next.
struct ScanOutcome {
    EarningsSnapshot snapshot;
    std::vector<EarningsOutput> immature;
};

}  // namespace

void SessionDriver::earningsPass(const SessionPtr& session, std::function<void()> done) {
    if (!isLive(session) || session->earningsScanInFlight) return done();
    session->earningsScanInFlight = true;
    // This scan sees every block accepted so far.
    session->earningsRescanWanted = false;
    const QString address = session->payout.display;
    model_.setEarningsScanState(EarningsScanState::Scanning{});
    model_.appendLog(QStringLiteral("Earnings scan started (") + address +
                     QStringLiteral(")\u2026"));
    later<session::Attempt<ScanOutcome>>(
        session,
        [client = session->client, address = address.toStdString(), stop = session->token()] {
            auto outcome = session::attempt<ScanOutcome>([&] {
                ScanOutcome scanned;
                scanned.snapshot = scanEarnings(*client, address, stop, &scanned.immature);
                return scanned;
            });
            // The answer was read on this pool thread, whose arena keeps the pages of its
            // largest reading unless told to give them back: without this, resident memory
            // steps up with each scan as the address collects outputs.
            malloc_trim(0);
            return outcome;
        },
        [this, session, done](session::Attempt<ScanOutcome> result) {
            session->earningsScanInFlight = false;
            session->lastEarningsScanEndedAt = model_.environment_.clock.monotonicNow();
            if (!isLive(session)) return;
            if (result.value) {
                const auto& snapshot = result.value->snapshot;
                session->earningsTally.scanned(snapshot, std::move(result.value->immature));
                showEarnings(session);
                model_.setEarningsScanState(EarningsScanState::Completed{toDateTime(model_.now())});
                model_.appendLog(
                    QStringLiteral("Earnings scan complete \u2014 height %1, %2 mature / "
                                   "%3 immature output(s).")
                        .arg(snapshot.scannedAtHeight)
                        .arg(snapshot.matureOutputCount)
                        .arg(snapshot.immatureOutputCount));
            } else {
                const QString error = session::describe(result.error);
                model_.setEarningsScanState(EarningsScanState::Failed{error});
                model_.appendLog(QStringLiteral("Earnings scan failed: ") + error);
            }
            // A block came in while this scan ran: it may not be in its figures.
            confirmEarningsWhenCalm(session);
            done();
        });
}

void SessionDriver::showEarnings(const SessionPtr& session) {
    if (auto shown = session->earningsTally.shown()) model_.setEarnings(std::move(*shown));
}

void SessionDriver::earningsBlockAccepted(const SessionPtr& session, std::int64_t height,
                                          std::int64_t rewardSats) {
    // An anyone-can-spend payout pays no address of the user's: nothing to add.
    if (!isLive(session) || session->payout.isUnsafeOpTrue) return;
    session->earningsTally.blockAccepted(height, rewardSats);
    showEarnings(session);
    requestEarningsRescan(session);
}

void SessionDriver::requestEarningsRescan(const SessionPtr& session) {
    if (!isLive(session)) return;
    session->earningsRescanWanted = true;
    session->lastEarningsChangeAt = model_.environment_.clock.monotonicNow();
    if (session->earningsRescanTimed) return;
    session->earningsRescanTimed = true;
    QTimer::singleShot(environment_.timings.earningsRescanDelay, this,
                       [this, weak = std::weak_ptr<Session>(session)] {
                           const auto session = weak.lock();
                           if (!isLive(session)) return;
                           session->earningsRescanTimed = false;
                           model_.refreshHistoryFigures();
                           confirmEarningsWhenCalm(session);
                       });
}

void SessionDriver::confirmEarningsWhenCalm(const SessionPtr& session) {
    // No scanner, no scans (an anyone-can-spend payout has no earnings of its own); the scan in
    // flight looks again when it ends; a timer already set looks again when it fires.
    if (!isLive(session) || !session->earningsScanner || !session->earningsRescanWanted ||
        session->earningsScanInFlight || session->earningsConfirmTimed) {
        return;
    }
    const auto& timings = environment_.timings;
    auto due = session->lastEarningsChangeAt + timings.earningsCalmPeriod;
    if (session->lastEarningsScanEndedAt) {
        due = std::max(due, *session->lastEarningsScanEndedAt + timings.earningsScanSpacing);
    }
    const auto now = model_.environment_.clock.monotonicNow();
    if (now < due) {
        session->earningsConfirmTimed = true;
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(due - now), this,
                           [this, weak = std::weak_ptr<Session>(session)] {
                               const auto session = weak.lock();
                               if (!isLive(session)) return;
                               session->earningsConfirmTimed = false;
                               confirmEarningsWhenCalm(session);
                           });
        return;
    }
    earningsPass(session, [] {});
}

// The found-block history against the chain, and the rewards that have just matured.

void SessionDriver::startHistoryRefresher(const SessionPtr& session) {
    retire(session->historyRefresher);
    session->historyBaseline = false;
    session->historyRefresher =
        periodic(environment_.timings.historyInterval,
                 [this, weak = std::weak_ptr<Session>(session)](std::function<void()> done) {
                     if (const auto session = weak.lock()) historyPass(session, std::move(done));
                 });
}

void SessionDriver::historyPass(const SessionPtr& session, std::function<void()> done) {
    PeriodicTask* const refresher = session->historyRefresher;
    later<HistoryPass>(
        session,
        [store = session->history, client = session->client, stop = session->token()] {
            HistoryPass pass;
            pass.loaded = store->isLoaded();
            try {
                RPCChainStatusSource source(client);
                pass.matured = store->refreshAgainstChain(source, stop);
            } catch (const std::exception&) {
                // Cancelled: the session is ending; its end reads the figures again.
            }
            pass.notices = store->takeNotices();
            return pass;
        },
        [this, session, refresher, done](HistoryPass pass) {
            if (!isLive(session) || session->historyRefresher != refresher) return;
            for (const auto& notice : pass.notices)
                model_.appendLog(QString::fromStdString(notice));
            // Until the history is read nothing is shown from it, and the baseline waits for the
            // first pass that read it.
            if (!pass.loaded) return done();
            // A refresher's first pass notifies nothing: what matured before it is not news.
            if (session->historyBaseline) {
                for (const auto& block : pass.matured) {
                    if (session->network == BitcoinNetwork::mainnet) {
                        model_.notifications_->notifyRewardMatured(block.height, block.rewardSats);
                    } else {
                        model_.notifications_->notifyRewardMaturedInBurst(block.height,
                                                                          block.rewardSats);
                    }
                }
            }
            if (!pass.matured.empty()) requestEarningsRescan(session);
            model_.refreshHistoryFigures();
            session->historyBaseline = true;
            done();
        });
}

}  // namespace corvanta

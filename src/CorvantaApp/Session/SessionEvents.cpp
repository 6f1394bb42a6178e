// The mining loop's run and its events, the rebind after a node restart, and the governor.
#include <cmath>
#include <utility>

#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"
#include "Session/FoundBlockList.h"
#include "Session/SessionInternals.h"
#include "Session/SessionRules.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {

namespace {

using Kind = MiningSessionModel::RunStateKind;
constexpr std::size_t latencyLimit = 200;

QString number(std::int64_t value) {
    return QString::number(value);
}

QString fromStd(const std::string& value) {
    return QString::fromStdString(value);
}

// A block hash (hash byte order) as people read it.
QString displayHex(const std::vector<std::uint8_t>& hash) {
    const std::vector<std::uint8_t> display(hash.rbegin(), hash.rend());
    return fromStd(BitcoinEncoding::hexString(display));
}

bool isEnd(const session::SessionSignal& signal) {
    return std::holds_alternative<session::LoopEnded>(signal);
}

}  // namespace

void SessionDriver::beginMining(const SessionPtr& session) {
    if (interruptedByStop(session)) return;
    model_.setRunState({Kind::mining, 0, 0, 0, {}});
    model_.setMiningStartedAt(model_.now());
    startHashRateSampler(session);
    startSystemGovernor(session);
    startHistoryRefresher(session);
    model_.applySleepPreventionSetting();

    session->pump = std::make_unique<EventPump<session::SessionSignal>>(
        this, environment_.timings.eventFlushInterval,
        [this, weak = std::weak_ptr<Session>(session)](std::vector<session::SessionSignal>& burst) {
            if (const auto session = weak.lock()) applyBurst(session, burst);
        },
        isEnd);
    // Its own thread: a run lasts the whole session and must never take a pool thread from a
    // poller.
    session->minerThread = std::thread([miner = session->miner, pump = session->pump.get()] {
        session::LoopEnded end;
        try {
            miner->run([pump](const MiningEvent& event) { pump->push(event); });
        } catch (...) {
            end.error = std::current_exception();
        }
        pump->push(end);
    });
}

void SessionDriver::applyBurst(const SessionPtr& session,
                               std::vector<session::SessionSignal>& burst) {
    // The template details are fetched once the burst is through, for its newest template only:
    // a template replaced within the burst needs none.
    session->templateInfoDue = false;
    for (const auto& signal : burst) {
        // Nothing of an ended session lands.
        if (!isLive(session)) return;
        if (const auto* event = std::get_if<MiningEvent>(&signal)) {
            handle(session, *event);
        } else {
            session->templateInfoDue = false;  // the loop is over: no template to describe
            loopEnded(session, std::get<session::LoopEnded>(signal));
        }
    }
    if (std::exchange(session->templateInfoDue, false) && isLive(session)) {
        refreshTemplateInfo(session);
    }
}

void SessionDriver::loopEnded(const SessionPtr& session, const session::LoopEnded& end) {
    if (!end.error || session::isCancellationLike(end.error)) {
        model_.appendLog(QStringLiteral("Mining loop stopped."));
        model_.setRunState({});
    } else {
        const QString message = L(QStringLiteral("Le minage s'est arr\u00eat\u00e9 \u2014 %@"),
                                  session::explain(end.error));
        model_.setRunState(MiningSessionModel::RunState::failed(message));
        // A signet whose blocks need a signature: the event log keeps a fixed line for it, the
        // status its explanation.
        model_.appendLog(needsSignetSignature(end.error)
                             ? QStringLiteral("Not mining: this signet's blocks need a signature "
                                              "this application cannot make (only a signet whose "
                                              "challenge needs none, such as OP_TRUE, is mined).")
                             : message);
        critical(message);
    }
    // The loop's thread has nothing left to do but return.
    if (session->minerThread.joinable()) session->minerThread.join();
    // Its node goes too: a node left running after a failed loop could be stopped by nobody
    // but a quit, and would hold its data folder's lock against the next start. Stopping it
    // counts as a shutdown, which a new session and a quit wait for.
    ++shutdownsRunning_;
    emit model_.shutdownInProgressChanged();
    later<int>(
        session,
        [controller = session->controller] {
            controller->stop();
            return 0;
        },
        [this](int) { shutdownFinished(); });
    // Not from inside the pump's own flush: the end of the session drops the pump.
    QMetaObject::invokeMethod(
        this, [this, session] { endSession(session); }, Qt::QueuedConnection);
}

void SessionDriver::handle(const SessionPtr& session, const MiningEvent& event) {
    using namespace mining_event;
    MiningSessionModel& m = model_;
    std::visit(
        [&](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, TemplateReceived>) {
                m.appendLog(QStringLiteral("Template received \u2014 height ") + number(e.height));
                m.setTemplatesReceived(m.templatesReceived_ + 1);
                m.setTemplateHeight(e.height);
                if (!m.sessionStartHeight_ && m.networkTipIsCurrent()) {
                    m.setSessionStartHeight(e.height - 1);
                }
                m.setCurrentExtranonce(0);
                session->templateInfoDue = true;
            } else if constexpr (std::is_same_v<E, BlockFound>) {
                const QString hashHex = displayHex(e.hash);
                m.appendLog(QStringLiteral("BLOCK FOUND \u2014 height ") + number(e.height) +
                            QStringLiteral(" \u2014 ") + hashHex);
                auto blocks = m.blocksFound_;
                found_blocks::add(
                    blocks, {QString::fromStdString(makeUuid()), e.height, hashHex, e.rewardSats,
                             QStringLiteral("pending\u2026"), std::nullopt});
                m.setBlocksFound(std::move(blocks));
            } else if constexpr (std::is_same_v<E, SubmissionResultEvent>) {
                // The loop stored its record, accepted or rejected, before telling of it.
                m.refreshHistoryFigures();
                submissionResult(session, e);
            } else if constexpr (std::is_same_v<E, SearchExhausted>) {
                m.appendLog(QStringLiteral("Nonce range exhausted \u2014 extranonce ") +
                            QString::number(e.extranonce));
                m.setExtranonceRotations(m.extranonceRotations_ + 1);
                m.setCurrentExtranonce(e.extranonce + 1);
            } else if constexpr (std::is_same_v<E, WorkLoaded>) {
                m.appendLog(QString::asprintf("New work loaded \u2014 height %lld in %.0f ms",
                                              static_cast<long long>(e.height), e.milliseconds));
                auto latencies = m.workLoadLatencies_;
                latencies.push_back(e.milliseconds);
                if (latencies.size() > latencyLimit) {
                    latencies.erase(latencies.begin(), latencies.end() - latencyLimit);
                }
                m.setWorkLoadLatencies(std::move(latencies));
            } else if constexpr (std::is_same_v<E, CandidateValidated>) {
                m.setCandidateValidation(CandidateValidation{
                    CandidateValidation::Kind::validated, e.height, e.transactionCount, {}});
                m.appendLog(QStringLiteral("Candidate validated by Core \u2014 height ") +
                            number(e.height) + QStringLiteral(", ") + number(e.transactionCount) +
                            QStringLiteral(" tx"));
            } else if constexpr (std::is_same_v<E, CandidateRejected>) {
                m.setCandidateValidation(CandidateValidation{CandidateValidation::Kind::rejected,
                                                             e.height, 0, fromStd(e.reason)});
                m.appendLog(QStringLiteral("CANDIDATE REJECTED by Core \u2014 height ") +
                            number(e.height) + QStringLiteral(": ") + fromStd(e.reason));
            } else if constexpr (std::is_same_v<E, CandidateValidationUnavailable>) {
                m.setCandidateValidation(CandidateValidation{CandidateValidation::Kind::unavailable,
                                                             e.height, 0, fromStd(e.reason)});
                m.appendLog(QStringLiteral("Candidate validation unavailable \u2014 height ") +
                            number(e.height) + QStringLiteral(": ") + fromStd(e.reason));
            } else if constexpr (std::is_same_v<E, WorkAbandoned>) {
                m.setTemplatesAbandoned(m.templatesAbandoned_ + 1);
                m.appendLog(QStringLiteral("Work abandoned: ") + fromStd(e.reason));
            } else if constexpr (std::is_same_v<E, Recovering>) {
                m.appendLog(QStringLiteral("Recovering after failure: ") + fromStd(e.reason));
            } else if constexpr (std::is_same_v<E, NodeDied>) {
                m.appendLog(QStringLiteral("Node stopped unexpectedly (code ") +
                            number(e.exitCode) + QStringLiteral("), restarting\u2026"));
            } else if constexpr (std::is_same_v<E, NodeRestarted>) {
                m.appendLog(QStringLiteral("Node restarted (attempt ") + number(e.attempt) +
                            QStringLiteral(")."));
                rebindClientAfterNodeRestart(session);
            } else if constexpr (std::is_same_v<E, StoreNotice>) {
                m.appendLog(fromStd(e.message));
                if (e.fullFolder) {
                    const QString text =
                        L(QStringLiteral("Impossible d'\u00e9crire dans %@ : disque plein. Les "
                                         "blocs trouv\u00e9s restent en m\u00e9moire "
                                         "jusqu'\u00e0 ce qu'ils puissent \u00eatre "
                                         "enregistr\u00e9s."),
                          fromStd(*e.fullFolder));
                    m.setDiskFullAlert(std::filesystem::path(*e.fullFolder), text);
                    critical(text);
                }
            } else if constexpr (std::is_same_v<E, BestDifficulty>) {
                m.setBestDifficultySession(e.session);
                m.setBestDifficultyAllTime(e.allTime);
                m.setBestDifficultyNetwork(e.network);
            }
        },
        event);
}

void SessionDriver::submissionResult(const SessionPtr& session,
                                     const mining_event::SubmissionResultEvent& event) {
    MiningSessionModel& m = model_;
    const auto* rejected = std::get_if<SubmissionResult::Rejected>(&event.result.value);
    const QString height = QStringLiteral(" \u2014 height ") + number(event.height);
    m.appendLog(rejected ? QStringLiteral("Submission \u2014 REJECTED") + height +
                               QStringLiteral(": ") + fromStd(rejected->reason)
                         : QStringLiteral("Submission \u2014 ACCEPTED") + height);
    auto blocks = m.blocksFound_;
    const auto verdict = found_blocks::applyVerdict(blocks, displayHex(event.hash), event.result);
    if (verdict.listed) m.setBlocksFound(std::move(blocks));
    if (!verdict.newlyAccepted) {
        // A block the list no longer holds: its record is in the history, whose figures were
        // just read again, and the earnings take it from the next scan of the address.
        if (!verdict.listed && !rejected && !session->payout.isUnsafeOpTrue) {
            requestEarningsRescan(session);
        }
        return;
    }
    const FoundBlockRecord& accepted = *verdict.newlyAccepted;
    if (session->network == BitcoinNetwork::mainnet) {
        m.notifications_->notifyBlockFound(accepted.height, accepted.rewardSats);
    } else {
        m.notifications_->notifyBlockFoundInBurst(accepted.height, accepted.rewardSats);
    }
    earningsBlockAccepted(session, accepted.height, accepted.rewardSats);
    if (session->network == BitcoinNetwork::mainnet) {
        m.setBlockFoundPresentation(BlockFoundPresentation{QString::fromStdString(makeUuid()),
                                                           accepted.height, accepted.hashHex,
                                                           accepted.rewardSats});
    }
}

void SessionDriver::rebindClientAfterNodeRestart(const SessionPtr& session) {
    if (!session->controller) return;
    auto client = session->controller->currentClient();
    if (!client) return;
    session->client = std::move(client);
    model_.appendLog(QStringLiteral("RPC client rebound to the restarted node."));
    // Exactly one task of each kind afterwards, all on the new client.
    startStatusPoller(session);
    startNetworkHashPoller(session);
    if (!session->payout.isUnsafeOpTrue) startEarningsScanner(session);
    if (session->history) startHistoryRefresher(session);
}

void SessionDriver::refreshTemplateInfo(const SessionPtr& session) {
    // Only the newest fetch may write; it asks the session's current client, which follows a
    // rebind.
    const unsigned generation = ++session->templateInfoGeneration;
    // A fetch for an older template is cancelled, so a run of templates never queues a run of
    // fetches ahead of the pollers.
    session->templateInfoStop.request_stop();
    session->templateInfoStop = std::stop_source();
    struct Info {
        std::int64_t transactionCount = 0;
        std::optional<std::uint32_t> bits;
    };
    later<session::Attempt<Info>>(
        session,
        [client = session->client, rules = templateRules(session->network),
         sessionStop = session->token(), fetchStop = session->templateInfoStop,
         timeout = environment_.timings.rpcTimeoutSeconds] {
            std::stop_callback endsWithTheSession(
                sessionStop, [fetchStop]() mutable { fetchStop.request_stop(); });
            return session::attempt<Info>([&] {
                const auto fetched = BlockTemplate::fetch(*client, rules, std::nullopt,
                                                          fetchStop.get_token(), timeout);
                return Info{std::int64_t(fetched.transactions.size()) + 1, fetched.bitsValue()};
            });
        },
        [this, session, generation](session::Attempt<Info> result) {
            if (!isLive(session) || generation != session->templateInfoGeneration) return;
            if (!result.value) return;
            model_.setTemplateTransactionCount(result.value->transactionCount);
            model_.setTemplateBits(result.value->bits);
        });
}

// The governor.

namespace {

// The governor's decision at start, with the reason of its pause.
struct FirstDecision {
    GovernorDecision decision;
    std::string pauseReason;
};

}  // namespace

void SessionDriver::startSystemGovernor(const SessionPtr& session) {
    auto source = environment_.governorState ? environment_.governorState : model_.systemState_;
    session->governor = std::make_shared<SystemGovernor>(source, model_.performanceCores_);
    model_.governor_ = session->governor;
    const auto decision = scheduleDecision(model_.scheduleIsDriving(), model_.schedule_,
                                           model_.now(), model_.environment_.clock.calendar());
    if (decision.powerMode) model_.setPowerMode(*decision.powerMode);
    model_.lastAppliedScheduleMode_ = decision.appliedMode;

    auto onEvent = [driver = QPointer<SessionDriver>(this),
                    weak = std::weak_ptr<Session>(session)](const GovernorEvent& event) {
        // May come from the calling thread during start() as well as from the poll thread.
        if (!driver) return;
        QMetaObject::invokeMethod(
            driver,
            [driver, weak, event] {
                const auto session = weak.lock();
                if (driver && driver->isLive(session)) driver->handleGovernorEvent(session, event);
            },
            Qt::QueuedConnection);
    };
    auto configure = [governor = session->governor, manual = model_.manuallyPaused_,
                      scheduledPause = decision.shouldPause, smart = decision.usesSmart,
                      mode = model_.powerMode_, workers = model_.advancedWorkerCount_,
                      battery = model_.allowMiningOnBattery_,
                      interval = environment_.timings.governorPollInterval, onEvent] {
        governor->setManualPause(manual);
        governor->setScheduledPause(scheduledPause);
        governor->setSmartEnabled(smart);
        governor->setPowerMode(mode);
        governor->setAdvancedWorkerCount(workers);
        governor->setAllowMiningOnBattery(battery);
        governor->start(interval, onEvent);
        // The first decision's pause has no event (events before start are dropped), so its
        // reason is read with it: a start inside an off slot is named as the schedule's pause.
        return FirstDecision{governor->currentDecision(), governor->currentPauseReason()};
    };
    // On the governor's lane, so that later hand-offs reach it after its configuration.
    auto* watcher = new QFutureWatcher<FirstDecision>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, session] {
        watcher->deleteLater();
        if (!isLive(session)) return;
        const FirstDecision first = watcher->result();
        applyGovernorDecision(session, first.decision, QString::fromStdString(first.pauseReason));
    });
    watcher->setFuture(QtConcurrent::run(model_.governorLane_.get(), std::move(configure)));
}

void SessionDriver::handleGovernorEvent(const SessionPtr& session, const GovernorEvent& event) {
    QString message = ModuleMessage::localized(QString::fromStdString(event.reason()));
    if (std::holds_alternative<GovernorEvent::Paused>(event.kind)) {
        model_.setGovernorPaused(true, QString::fromStdString(event.reason()));
    } else if (std::holds_alternative<GovernorEvent::Resumed>(event.kind)) {
        model_.setGovernorPaused(false);
    } else {
        message += QStringLiteral(" \u2014 ") +
                   QString::number(std::get<GovernorEvent::WorkerCountChanged>(event.kind).count) +
                   QStringLiteral(" worker(s)");
    }
    model_.appendLog(message);
    // A pause holds the engine at once; only the governor's own decision lets it go, never the
    // model's flag, which an event may reach before the first verdict is applied.
    if (session->engine && model_.governorPaused_) session->engine->setPaused(true);
    auto* watcher = new QFutureWatcher<GovernorDecision>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, session] {
        watcher->deleteLater();
        if (!isLive(session)) return;
        const GovernorDecision decision = watcher->result();
        if (session->engine) {
            session->engine->setPaused(decision.isPaused);
            session->engine->setWorkerCount(decision.workerCount);
        }
        model_.setEffectiveWorkerCount(decision.workerCount);
    });
    watcher->setFuture(
        QtConcurrent::run(model_.governorLane_.get(), [governor = session->governor] {
            return governor ? governor->currentDecision() : GovernorDecision{};
        }));
}

void SessionDriver::applyGovernorDecision(const SessionPtr& session,
                                          const GovernorDecision& decision,
                                          const QString& pauseReason) {
    model_.setGovernorPaused(decision.isPaused, pauseReason);
    if (session->engine) {
        session->engine->setPaused(decision.isPaused);
        session->engine->setWorkerCount(decision.workerCount);
    }
    model_.setEffectiveWorkerCount(decision.workerCount);
}

}  // namespace corvanta

// Start, stop and quit, and the session body from the node's launch to the start of mining.
#include <unistd.h>

#include <sys/stat.h>

#include "Localization/ErrorPresentation.h"
#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"
#include "Session/SessionInternals.h"
#include "SystemServices/SleepPreventionAssertion.h"
#include "Usage/UsagePulse.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {

namespace {

using Kind = MiningSessionModel::RunStateKind;

bool isExecutableFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

// The per-network file of a store under the support folder: <support>/<folder>/<network><suffix>.
std::filesystem::path storeFile(const std::filesystem::path& support, std::string_view folder,
                                BitcoinNetwork network, std::string_view suffix) {
    return support / folder / (std::string(rawValue(network)) + std::string(suffix));
}

}  // namespace

bool session::isCancellationLike(const std::exception_ptr& error) {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const Cancelled&) {
        return true;
    } catch (...) {
        return false;
    }
}

QString session::describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return QString::fromUtf8(caught.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

QString session::explain(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return ErrorPresentation::explain(caught);
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

SessionDriver::SessionDriver(MiningSessionModel& model, SessionRunEnvironment environment)
    : QObject(&model), model_(model), environment_(std::move(environment)) {
    // The idle-sleep lock follows the run state: held exactly while a session is past idle and
    // failed with the setting on.
    connect(&model_, &MiningSessionModel::runStateChanged, this,
            [this] { model_.applySleepPreventionSetting(); });
}

SessionDriver::~SessionDriver() {
    // The model tears its session down before its own members go; by now they are gone.
}

void SessionDriver::teardown() {
    if (tornDown_) return;
    tornDown_ = true;
    terminating_ = true;
    const std::vector<SessionPtr> all = allSessions();
    for (const auto& session : all) {
        session->stopRequested = true;
        session->stop.request_stop();
        if (session->miner) session->miner->stop();
    }
    for (const auto& session : all) {
        if (session->controller) session->controller->stop();
        if (session->minerThread.joinable()) session->minerThread.join();
        if (session->governor) session->governor->stop();
        for (auto* task :
             {session->statusPoller, session->networkHashPoller, session->hashRateSampler,
              session->earningsScanner, session->historyRefresher}) {
            if (task) task->stop();
        }
    }
    model_.governor_.reset();
}

bool SessionDriver::isLive(const SessionPtr& session) const {
    return session && session == current_ && !session->ended;
}

void SessionDriver::critical(const QString& body) {
    model_.notifications_->send(
        QStringLiteral("critical-error"),
        Localization::shared().string(QStringLiteral("Erreur critique \u2014 Corvanta")), body);
}

void SessionDriver::persistLifetimeHashes() {
    model_.lastLifetimePersist_ = model_.now();
    model_.preferences_.setUnsignedInteger(QStringLiteral("rigwell.lifetimeHashes"),
                                           model_.lifetimeHashes_);
}

// start(), stop() and quitting.

void SessionDriver::start() {
    const Kind kind = model_.runState_.kind;
    if ((kind != Kind::idle && kind != Kind::failed) || terminating_) return;
    const BitcoinNetwork network = model_.selectedNetwork_;
    const QString input = model_.payoutAddressInput_;

    EngineSelfTest::Verdict verdict = EngineSelfTest::Passed{};
    try {
        verdict = model_.environment_.selfTest();
    } catch (const std::exception& error) {
        verdict = EngineSelfTest::Failed{error.what()};
    }
    if (const auto* failed = std::get_if<EngineSelfTest::Failed>(&verdict)) {
        const QString reason = QString::fromStdString(failed->reason);
        model_.setRunState(MiningSessionModel::RunState::failed(
            L(QStringLiteral("Le moteur de hachage ne produit plus les bons condensats (%@). Le "
                             "minage est refus\u00e9 : dans cet \u00e9tat, il ne peut rien "
                             "trouver."),
              reason)));
        model_.appendLog(QStringLiteral("Refusing to start: engine self-test failed \u2014 ") +
                         reason);
        return;
    }
    auto resolution = resolvePayout(network, input);
    if (const auto* error = std::get_if<PayoutResolutionError>(&resolution)) {
        model_.setRunState(
            MiningSessionModel::RunState::failed(ErrorPresentation::explain(*error)));
        model_.appendLog(QStringLiteral("Refusing to start: ") + error->description());
        return;
    }
    const PayoutResolution payout = std::get<PayoutResolution>(resolution);

    model_.setActivePayout(payout);
    model_.setRunState({Kind::startingNode, 0, 0, 0, {}});

    // The previous session's figures go; the all-time ones, the ledger and the history stay.
    model_.eventLog_.clear();
    // What still holds of the settings file is said again in the log the user now reads.
    model_.sayStandingSettingsLines();
    model_.setBlocksFound({});
    model_.setHashRateHistory({});
    model_.setWorkLoadLatencies({});
    model_.setCurrentHashRateMHs(0);
    model_.setTemplateHeight(std::nullopt);
    model_.setTemplateTransactionCount(std::nullopt);
    model_.setCandidateValidation(std::nullopt);
    model_.setTemplateBits(std::nullopt);
    model_.setNetworkHashesPerSecond(std::nullopt);
    model_.setEarnings(std::nullopt);
    model_.setBestDifficultySession(std::nullopt);
    model_.setBestDifficultyNetwork(std::nullopt);
    model_.setMiningStartedAt(std::nullopt);
    model_.setPeerCount(std::nullopt);
    model_.setNetworkTipTimestamp(std::nullopt);
    model_.setNetworkTipObservedAt(std::nullopt);
    model_.setSessionStartHeight(std::nullopt);
    model_.setCurrentExtranonce(0);
    model_.setTemplatesReceived(0);
    model_.setTemplatesAbandoned(0);
    model_.setExtranonceRotations(0);
    model_.setSessionHashes(0);
    model_.setEarningsScanState(EarningsScanState::NeverScanned{});

    model_.appendLog(QStringLiteral("Starting node on ") + text(rawValue(network)) +
                     QStringLiteral("\u2026"));
    if (payout.isUnsafeOpTrue) {
        model_.appendLog(QStringLiteral(
            "WARNING: no payout address \u2014 reward goes to OP_TRUE, spendable by anyone."));
    }
    model_.usagePulse_->noteMiningActive(
        model_.usageStatisticsEnabled_,
        QCoreApplication::applicationVersion().isEmpty()
            ? std::nullopt
            : std::optional(QCoreApplication::applicationVersion()),
        operatingSystem());

    auto session = std::make_shared<Session>();
    session->generation = ++generation_;
    session->network = network;
    session->payout = payout;
    current_ = session;
    sessions_.push_back(session);
    launchWaiting();
}

void SessionDriver::launchWaiting() {
    // Bodies never overlap, and none begins while a node of an earlier one is still stopping: it
    // would find that node's data folder locked.
    if (sessions_.empty() || shutdownsRunning_ > 0) return;
    const SessionPtr next = sessions_.front();
    if (next->started) return;
    next->started = true;
    if (terminating_) next->stopRequested = true;
    runSession(next);
}

void SessionDriver::stop() {
    const Kind kind = model_.runState_.kind;
    if (kind == Kind::idle || kind == Kind::failed) return;
    model_.setRunState({Kind::stopping, 0, 0, 0, {}});
    model_.appendLog(QStringLiteral("Stop requested."));
    persistLifetimeHashes();
    const SessionPtr session = current_;
    if (!session) return;
    shutDown(session);
    emit model_.shutdownInProgressChanged();
}

void SessionDriver::shutDown(const SessionPtr& session) {
    session->stopRequested = true;
    session->stop.request_stop();
    ++shutdownsRunning_;
    later<int>(
        session,
        [miner = session->miner, controller = session->controller] {
            if (miner) miner->stop();
            if (controller) controller->stop();
            return 0;
        },
        [this](int) { shutdownFinished(); });
}

std::vector<SessionDriver::SessionPtr> SessionDriver::allSessions() const {
    std::vector<SessionPtr> all = sessions_;
    if (current_ && std::find(all.begin(), all.end(), current_) == all.end()) {
        all.push_back(current_);
    }
    return all;
}

void SessionDriver::shutdownForTermination() {
    persistLifetimeHashes();
    terminationRequested_ = true;
    const bool wasTerminating = terminating_;
    terminating_ = true;
    if (!wasTerminating) emit model_.shutdownInProgressChanged();
    for (const auto& session : allSessions()) shutDown(session);
    // With nothing running, once the event loop turns; otherwise when the last shutdown ends.
    ++shutdownsRunning_;
    QMetaObject::invokeMethod(
        this, [this] { shutdownFinished(); }, Qt::QueuedConnection);
}

void SessionDriver::shutdownFinished() {
    --shutdownsRunning_;
    if (shutdownsRunning_ > 0) return;
    if (!terminating_) emit model_.shutdownInProgressChanged();
    if (terminationRequested_) {
        terminationRequested_ = false;
        emit model_.terminationReady();
        return;
    }
    launchWaiting();
}

// The session body.

bool SessionDriver::interruptedByStop(const SessionPtr& session) {
    if (!session->stopRequested && !terminating_) return false;
    startupFailed(session, nullptr);
    return true;
}

void SessionDriver::runSession(const SessionPtr& session) {
    model_.setActiveNetwork(session->network);
    if (interruptedByStop(session)) return;

    const auto program =
        environment_.nodeProgram ? environment_.nodeProgram() : BinaryLocator::bitcoindURL();
    if (!isExecutableFile(program)) {
        const QString message = Localization::shared().string(QStringLiteral(
            "Le binaire du n\u0153ud est introuvable dans l'application. R\u00e9installez "
            "Corvanta."));
        if (isLive(session)) model_.setRunState(MiningSessionModel::RunState::failed(message));
        model_.appendLog(message);
        critical(message);
        model_.appendLog(QStringLiteral("node binary not found"));
        // No node, no loop, no pollers: only the body's place in line is given up.
        session->ended = true;
        std::erase(sessions_, session);
        if (current_ == session) current_.reset();
        launchWaiting();
        return;
    }

    const BitcoinNetwork network = session->network;
    const auto dataDirectory = environment_.dataDirectory ? environment_.dataDirectory(network)
                                                          : BinaryLocator::dataDirectory(network);
    const NodeConfiguration configuration(network, dataDirectory, pruneMiB(model_.storageTarget_),
                                          environment_.rpcPort, environment_.p2pPort, false,
                                          environment_.networkingEnabled);
    const auto expected =
        environment_.expectedRelease
            ? environment_.expectedRelease(program)
            : std::optional(BinaryLocator::expectedRelease(program, ApplicationBundle::main()));
    // Stored before anything blocks, so that stop() reaches it.
    session->controller = std::make_shared<NodeController>(program, configuration, expected,
                                                           environment_.nodeTimings);
    later<session::Attempt<std::shared_ptr<const RPCClient>>>(
        session,
        [controller = session->controller, timings = environment_.timings,
         stop = session->token()] {
            return session::attempt<std::shared_ptr<const RPCClient>>([&] {
                return controller->startAndConnect(timings.cookieTimeout, timings.warmupTimeout,
                                                   stop);
            });
        },
        [this, session](session::Attempt<std::shared_ptr<const RPCClient>> result) {
            if (result.error) return startupFailed(session, result.error);
            connected(session, *result.value);
        });
}

void SessionDriver::logNodeNotices(const SessionPtr& session) {
    if (!session->controller) return;
    for (const auto& notice : session->controller->takeNotices()) {
        model_.appendLog(QString::fromStdString(notice));
    }
}

void SessionDriver::connected(const SessionPtr& session, std::shared_ptr<const RPCClient> client) {
    if (interruptedByStop(session)) return;
    session->client = std::move(client);
    logNodeNotices(session);
    model_.appendLog(QStringLiteral("Node connected."));
    startStatusPoller(session);
    startNetworkHashPoller(session);
    if (session->payout.isUnsafeOpTrue) {
        model_.appendLog(
            QStringLiteral("Earnings scan skipped \u2014 no payable address (OP_TRUE)."));
    } else {
        startEarningsScanner(session);
    }
    if (session->network == BitcoinNetwork::regtest) {
        model_.appendLog(QStringLiteral("Node connected, mining immediately (regtest)."));
        return built(session);
    }
    model_.appendLog(QStringLiteral("Node connected, waiting for sync before mining\u2026"));
    // Met before the sync: only a chain that still holds nothing past its first block shows that
    // no block of this installation's can be on it.
    std::optional<SessionMinerParts> meeting;
    if (!environment_.makeMiner) meeting = minerParts(session);
    auto onProgress = [driver = QPointer<SessionDriver>(this),
                       weak = std::weak_ptr<Session>(session)](const ChainStatus& status) {
        if (!driver) return;
        QMetaObject::invokeMethod(
            driver,
            [driver, weak, status] {
                const auto session = weak.lock();
                // Never over a stop: only a session still starting or syncing shows its sync.
                if (!driver || !driver->isLive(session) || session->stopRequested) return;
                const Kind kind = driver->model_.runState_.kind;
                if (kind != Kind::startingNode && kind != Kind::syncing) return;
                driver->model_.setRunState(MiningSessionModel::RunState::syncing(
                    status.blocks, status.headers, status.verificationProgress * 100));
            },
            Qt::QueuedConnection);
    };
    later<session::Attempt<NetworkMeeting>>(
        session,
        [controller = session->controller, interval = environment_.timings.syncPollInterval,
         onProgress, meeting, stop = session->token()] {
            return session::attempt<NetworkMeeting>([&] {
                NetworkMeeting met;
                if (meeting) {
                    try {
                        met = meetNetwork(*meeting, controller->status(stop).blocks);
                    } catch (const Cancelled&) {
                        throw;
                    } catch (const std::exception&) {
                        // Not met: its floor stays unknown until a walk finds it.
                    }
                }
                controller->awaitReadyToMine(interval, onProgress, stop);
                return met;
            });
        },
        [this, session](session::Attempt<NetworkMeeting> result) {
            if (result.error) return startupFailed(session, result.error);
            for (const auto& notice : result.value->notices) model_.appendLog(text(notice));
            session->installation = std::move(result.value->installation);
            synced(session);
        });
}

void SessionDriver::synced(const SessionPtr& session) {
    if (interruptedByStop(session)) return;
    model_.appendLog(QStringLiteral("Node synced, mining."));
    built(session);
}

namespace {

struct SessionParts {
    std::shared_ptr<CPUEngine> engine;
    std::shared_ptr<SessionMiner> miner;
    std::optional<ChainStatus> status;
};

}  // namespace

std::filesystem::path SessionDriver::supportFolder() const {
    return environment_.supportDirectory ? environment_.supportDirectory()
                                         : BinaryLocator::applicationSupportDirectory();
}

SessionMinerParts SessionDriver::minerParts(const SessionPtr& session) const {
    const BitcoinNetwork network = session->network;
    const auto support = supportFolder();
    const auto historyFile = model_.environment_.historyFile
                                 ? model_.environment_.historyFile(network)
                                 : BinaryLocator::historyFileURL(network);
    return {network,
            session->client,
            session->controller,
            nullptr,
            session->payout.script,
            storeFile(support, "rejected-blocks", network, ""),
            storeFile(support, "best-difficulty", network, ".json"),
            historyFile,
            model_.historyStoreFor(historyFile),
            std::nullopt,
            session->installation};
}

void SessionDriver::built(const SessionPtr& session) {
    if (interruptedByStop(session)) return;
    const BitcoinNetwork network = session->network;
    const auto support = supportFolder();
    const auto historyFile = model_.environment_.historyFile
                                 ? model_.environment_.historyFile
                                 : std::function(&BinaryLocator::historyFileURL);
    const auto proofFile = model_.environment_.proofLogFile
                               ? model_.environment_.proofLogFile(network)
                               : BinaryLocator::proofLogFileURL(network);
    auto work = [parts = minerParts(session), support,
                 regtestHistory = historyFile(BitcoinNetwork::regtest),
                 regtestBest =
                     storeFile(support, "best-difficulty", BitcoinNetwork::regtest, ".json"),
                 makeMiner = environment_.makeMiner, cores = model_.performanceCores_,
                 controller = session->controller, stop = session->token()]() mutable {
        return session::attempt<SessionParts>([&] {
            std::error_code error;
            const bool hadHistory = std::filesystem::exists(regtestHistory, error);
            HistoryMigration::migrateLegacyIfNeeded(support / "MinerHistory.json", regtestHistory);
            // A file moved into place now was not there when the views' store read its place.
            if (!hadHistory && parts.history && parts.history->fileURL() == regtestHistory &&
                std::filesystem::exists(regtestHistory, error)) {
                parts.history = std::make_shared<MiningHistoryStore>(regtestHistory,
                                                                     MiningHistoryStore::unread);
            }
            HistoryMigration::migrateLegacyIfNeeded(support / "best-difficulty.json", regtestBest);
            SessionParts built;
            built.engine = std::make_shared<CPUEngine>(cores);
            // Held until the governor's first verdict: inside an off slot, on battery or under a
            // manual pause, the loop's first job must find nothing to hash with.
            built.engine->setPaused(true);
            parts.engine = built.engine;
            try {
                built.status = controller->status(stop);
            } catch (const std::exception&) {
                // The status poller brings it soon enough.
            }
            // A network met only now (regtest mines without waiting for a sync): after the
            // earlier version's files were moved into place, which show it has mined before.
            // Without the chain's height it is not met, and its floor stays unknown.
            if (built.status) parts.chainHeight = built.status->blocks;
            built.miner = makeMiner ? makeMiner(parts) : makeCoordinatorMiner(parts);
            return built;
        });
    };
    later<session::Attempt<SessionParts>>(
        session, std::move(work),
        [this, session, proofFile](session::Attempt<SessionParts> result) {
            if (result.error) return startupFailed(session, result.error);
            session->engine = result.value->engine;
            session->miner = result.value->miner;
            session->history = session->miner->historyStore();
            model_.useHistoryStore(session->history);
            model_.useEngine(session->engine);
            model_.useProofLogFile(proofFile);
            if (result.value->status) model_.setChainStatus(result.value->status);
            beginMining(session);
        });
}

void SessionDriver::startupFailed(const SessionPtr& session, std::exception_ptr error) {
    logNodeNotices(session);
    const bool stopping = model_.runState_.kind == Kind::stopping;
    if (!error || stopping || session->stopRequested || session::isCancellationLike(error)) {
        model_.appendLog(QStringLiteral("Startup interrupted by stop request."));
    } else {
        const QString message =
            Localization::shared().string(QStringLiteral("Le d\u00e9marrage a \u00e9chou\u00e9")) +
            QStringLiteral(" \u2014 ") + session::explain(error);
        if (isLive(session)) model_.setRunState(MiningSessionModel::RunState::failed(message));
        model_.appendLog(message);
        critical(message);
        model_.appendLog(QStringLiteral("Startup failed: ") + session::describe(error));
    }
    later<int>(
        session,
        [controller = session->controller] {
            if (controller) controller->stop();
            return 0;
        },
        [this, session](int) { endSession(session); });
}

void SessionDriver::endSession(const SessionPtr& session) {
    if (session->ended) return;
    stopBackgroundTasks(session);
    if (session->governor) {
        if (model_.governor_ == session->governor) model_.governor_.reset();
        // On the governor's lane, after every call already handed to it.
        model_.governorLane_->start([governor = session->governor] { governor->stop(); });
        session->governor.reset();
    }
    const bool isCurrent = session == current_;
    if (isCurrent) clearLiveState();
    session->ended = true;
    session->stop.request_stop();
    if (session->minerThread.joinable()) session->minerThread.join();
    session->pump.reset();
    // The loop's last records are stored by now, and none of its events will land: the history
    // is read again, or the count would stay below it until the next start.
    model_.refreshHistoryFigures();
    if (isCurrent) {
        if (model_.runState_.kind != Kind::failed) model_.setRunState({});
        current_.reset();
    }
    model_.applySleepPreventionSetting();
    std::erase(sessions_, session);
    launchWaiting();
}

void SessionDriver::clearLiveState() {
    model_.setGovernorPaused(false);
    model_.setDiskFullAlert(std::nullopt);
    model_.setManuallyPaused(false);
    model_.setMiningStartedAt(std::nullopt);
    model_.setPeerCount(std::nullopt);
    model_.setEffectiveWorkerCount(std::nullopt);
    model_.setCoreVersion(std::nullopt);
    model_.setActiveNetwork(std::nullopt);
    model_.setActivePayout(std::nullopt);
    model_.setSessionStartHeight(std::nullopt);
    model_.setNetworkTipTimestamp(std::nullopt);
    model_.setNetworkTipObservedAt(std::nullopt);
    model_.setChainStatus(std::nullopt);
    model_.setChainStatusUpdatedAt(std::nullopt);
    model_.setCandidateValidation(std::nullopt);
    model_.setNetworkHashesPerSecond(std::nullopt);
    model_.setBestDifficultyNetwork(std::nullopt);
    model_.setBestDifficultySession(std::nullopt);
    model_.setTemplateHeight(std::nullopt);
    model_.setTemplateBits(std::nullopt);
    model_.setTemplateTransactionCount(std::nullopt);
    model_.setCurrentHashRateMHs(0);
    model_.setCurrentExtranonce(0);
    model_.useEngine(nullptr);
    model_.useProofLog(nullptr);
}

}  // namespace corvanta

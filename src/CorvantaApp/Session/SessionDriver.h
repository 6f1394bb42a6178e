#pragma once

// The session side of the model: start, stop and quit, the session body, the mining events, the
// pollers, the governor and the history refresher. One per model, on the GUI thread; each blocking
// call runs on the model's pool and comes back queued to the step that follows it.

#include <QObject>

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <variant>
#include <vector>

#include "Session/EventPump.h"
#include "Session/MiningSessionModel.h"
#include "Session/SessionRunEnvironment.h"
#include "SystemServices/PayoutResolution.h"
#include "corvanta/loop/MiningEvent.h"

namespace corvanta {

class CPUEngine;
class MiningHistoryStore;
class NodeController;
class PeriodicTask;
class RPCClient;
class SystemGovernor;
struct GovernorDecision;
struct GovernorEvent;

namespace session {

// What the mining loop's thread hands to the GUI thread.
struct LoopEnded {
    std::exception_ptr error;  // none: the loop finished
};
using SessionSignal = std::variant<MiningEvent, LoopEnded>;

// True for the errors that mean "stopped": ours, and a transfer cancelled by its stop.
bool isCancellationLike(const std::exception_ptr& error);

}  // namespace session

class SessionDriver : public QObject {
  public:
    SessionDriver(MiningSessionModel& model, SessionRunEnvironment environment);
    ~SessionDriver() override;

    void start();
    void stop();
    void shutdownForTermination();
    bool shutdownInProgress() const { return shutdownsRunning_ > 0 || terminating_; }
    // The application's end has been asked for.
    bool terminating() const { return terminating_; }
    // Stops every node and loop and waits for them: the model is going away. Called by the
    // model's destructor, before its members go.
    void teardown();

  private:
    struct Session;
    using SessionPtr = std::shared_ptr<Session>;
    template <typename Result>
    void later(const SessionPtr& session, std::function<Result()> work,
               std::function<void(Result)> apply);

    bool isLive(const SessionPtr& session) const;
    void launchWaiting();
    void shutdownFinished();
    // Every session the driver still holds, the current one included.
    std::vector<SessionPtr> allSessions() const;
    // Ends a session's loop and node off the GUI thread; counts as a running shutdown until then.
    void shutDown(const SessionPtr& session);

    // The body, step by step.
    void runSession(const SessionPtr& session);
    void connected(const SessionPtr& session, std::shared_ptr<const RPCClient> client);
    // Says what the node controller set aside beside the node's data folder.
    void logNodeNotices(const SessionPtr& session);
    void synced(const SessionPtr& session);
    void built(const SessionPtr& session);
    // What the session's loop is built from (the engine aside), and its support folder.
    SessionMinerParts minerParts(const SessionPtr& session) const;
    std::filesystem::path supportFolder() const;
    void beginMining(const SessionPtr& session);
    void startupFailed(const SessionPtr& session, std::exception_ptr error);
    void endSession(const SessionPtr& session);
    bool interruptedByStop(const SessionPtr& session);
    void critical(const QString& text);

    // Events.
    void applyBurst(const SessionPtr& session, std::vector<session::SessionSignal>& burst);
    void handle(const SessionPtr& session, const MiningEvent& event);
    // The node's verdict on one found block: on that block alone in the list, and its reward in
    // the earnings once.
    void submissionResult(const SessionPtr& session,
                          const mining_event::SubmissionResultEvent& event);
    void loopEnded(const SessionPtr& session, const session::LoopEnded& end);
    void rebindClientAfterNodeRestart(const SessionPtr& session);
    void refreshTemplateInfo(const SessionPtr& session);

    // Background work of a session.
    void startStatusPoller(const SessionPtr& session);
    void startNetworkHashPoller(const SessionPtr& session);
    void startHashRateSampler(const SessionPtr& session);
    void startEarningsScanner(const SessionPtr& session);
    void startHistoryRefresher(const SessionPtr& session);
    void startSystemGovernor(const SessionPtr& session);
    void stopBackgroundTasks(const SessionPtr& session);
    void clearLiveState();
    void statusPass(const SessionPtr& session, std::function<void()> done);
    void historyPass(const SessionPtr& session, std::function<void()> done);
    void earningsPass(const SessionPtr& session, std::function<void()> done);
    // A block was accepted or matured: the history's figures are read again shortly (requests
    // coalesce), and a scan confirms the earnings once the blocks calm down.
    void requestEarningsRescan(const SessionPtr& session);
    // The scan that confirms the earnings, once calm and spaced from the last; never two at once.
    void confirmEarningsWhenCalm(const SessionPtr& session);
    // An accepted block's reward joins the shown earnings at once, immature.
    void earningsBlockAccepted(const SessionPtr& session, std::int64_t height,
                               std::int64_t rewardSats);
    void showEarnings(const SessionPtr& session);
    // Once the full folder has room again, writes what its failed writes left in memory, and
    // lifts the alert only when that write succeeded.
    void saveHeldRecordsWhenRoom(const SessionPtr& session);
    void handleGovernorEvent(const SessionPtr& session, const GovernorEvent& event);
    void applyGovernorDecision(const SessionPtr& session, const GovernorDecision& decision,
                               const QString& pauseReason);
    PeriodicTask* periodic(std::chrono::milliseconds interval,
                           std::function<void(std::function<void()>)> pass);

    void persistLifetimeHashes();

    MiningSessionModel& model_;
    const SessionRunEnvironment environment_;
    SessionPtr current_;
    // Sessions whose body has not ended yet, oldest first; the first of them may run.
    std::vector<SessionPtr> sessions_;
    int generation_ = 0;
    int shutdownsRunning_ = 0;
    bool terminating_ = false;
    bool terminationRequested_ = false;
    bool tornDown_ = false;
};

}  // namespace corvanta

#include <gtest/gtest.h>

#include <thread>

#include "LoopFakes.h"
#include "TestHttpServer.h"
#include "TestSupport.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/loop/LoopRoutines.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta {
namespace {

using namespace testing;
using namespace std::chrono_literals;

// Restarts that fail a scripted number of times before they succeed.
class FakeSupervisor final : public NodeSupervising {
  public:
    int failuresBeforeSuccess = 0;
    std::vector<std::chrono::steady_clock::time_point> attempts;

    std::int32_t waitForUnexpectedTermination(std::stop_token stop) override {
        sleepFor(std::chrono::hours(1), stop);
        throw Cancelled();
    }
    std::shared_ptr<const RPCClient> restart(std::chrono::milliseconds, std::chrono::milliseconds,
                                             std::stop_token) override {
        attempts.push_back(std::chrono::steady_clock::now());
        if (static_cast<int>(attempts.size()) <= failuresBeforeSuccess) {
            throw RPCTransportError(RPCTransportError::Network{"refused"});
        }
        return std::make_shared<RPCClient>("http://127.0.0.1:1/", RPCCredentials{"u", "p"});
    }
    void awaitReadyToMine(std::chrono::milliseconds, const std::function<void(const ChainStatus&)>&,
                          std::stop_token) override {}
};

std::vector<std::string> reasons(const EventLog& log) {
    std::vector<std::string> texts;
    for (const auto& event : log.all<mining_event::Recovering>()) texts.push_back(event.reason);
    return texts;
}

TEST(NodeRestart, BacksOffBetweenAttemptsAndGivesUpAtTheLimit) {
    FakeSupervisor supervisor;
    supervisor.failuresBeforeSuccess = 2;
    EventLog log;
    const MiningLoopTimings timings{.restartMaxPause = 30ms};
    const auto client =
        loop::restartNodeWithBackoff(supervisor, 6, 10ms, timings, log.handler(), {});
    EXPECT_NE(client, nullptr);
    const std::string refused = RPCTransportError(RPCTransportError::Network{"refused"}).what();
    EXPECT_EQ(reasons(log),
              (std::vector<std::string>{"node restart attempt 1 failed: " + refused,
                                        "node restart attempt 2 failed: " + refused}));
    EXPECT_EQ(log.all<mining_event::NodeRestarted>(),
              std::vector<mining_event::NodeRestarted>{{3}});
    ASSERT_EQ(supervisor.attempts.size(), 3u);
    EXPECT_GE(supervisor.attempts[1] - supervisor.attempts[0], 10ms);
    EXPECT_GE(supervisor.attempts[2] - supervisor.attempts[1], 20ms);

    FakeSupervisor hopeless;
    hopeless.failuresBeforeSuccess = 100;
    try {
        loop::restartNodeWithBackoff(hopeless, 1, 10s, timings, log.handler(), {});
        FAIL() << "a node that cannot be restarted is abandoned";
    } catch (const NodeAbandonedError& error) {
        EXPECT_EQ(error, NodeAbandonedError(1, refused));
        EXPECT_EQ(std::string(error.what()),
                  "Nœud abandonné après 1 tentative(s) de redémarrage échouée(s) : " + refused);
    }
    EXPECT_EQ(hopeless.attempts.size(), 1u);
}

TEST(Recovery, RetriesTheTemplateWithGrowingPausesUntilItComes) {
    FakeTemplateSource watcher;
    int calls = 0;
    watcher.onCurrent = [&](std::stop_token) {
        if (++calls < 3) throw RPCError(-10, "Bitcoin Core is in initial sync");
        return makeJob(1, "a");
    };
    EventLog log;
    const MiningLoopTimings timings{.recoveryInitialPause = 5ms, .recoveryMaxPause = 8ms};
    const auto job =
        loop::recoverAfterFailure("template failed", watcher, timings, log.handler(), {});
    EXPECT_EQ(job.height, 1);
    const std::string initialSync = RPCError(-10, "Bitcoin Core is in initial sync").what();
    EXPECT_EQ(reasons(log),
              (std::vector<std::string>{"template failed", initialSync, initialSync}));

    // Only a stop ends it.
    watcher.onCurrent = [](std::stop_token) -> MiningJob { throw std::runtime_error("down"); };
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(30ms);
        stop.request_stop();
    });
    EXPECT_THROW(loop::recoverAfterFailure("x", watcher, timings, log.handler(), stop.get_token()),
                 Cancelled);
}

struct CoordinatorFixture : ::testing::Test {
    TempDir folder;
    std::shared_ptr<FakeTemplateSource> watcher = std::make_shared<FakeTemplateSource>();
    std::shared_ptr<MiningHistoryStore> history =
        std::make_shared<MiningHistoryStore>(folder.path() / "history.json");
    // Nothing listens there: background proposals fail fast.
    std::shared_ptr<const RPCClient> client =
        std::make_shared<RPCClient>("http://127.0.0.1:1/", RPCCredentials{"u", "p"});

    MiningLoopTimings timings{.recoveryInitialPause = 5ms, .tipPollInterval = 5ms};
    std::shared_ptr<FakeEngine> engine;  // the last coordinator's

    std::unique_ptr<MiningCoordinator> coordinator(
        FakeEngine::Behaviour behaviour, std::shared_ptr<NodeSupervising> supervisor = {}) {
        engine = std::make_shared<FakeEngine>(behaviour);
        return std::make_unique<MiningCoordinator>(
            watcher, engine, client, std::move(supervisor), 6, 10ms, folder.path() / "rejected",
            BestDifficultyStore(folder.path() / "best.json"), history, kOwnership,
            std::filesystem::path(), timings);
    }
};

TEST_F(CoordinatorFixture, AStopBeforeRunEndsThatRunAndASecondRunIsRefused) {
    watcher->onCurrent = [](std::stop_token) { return makeJob(1, "a"); };
    watcher->onWaitForChange = [](auto&&, std::stop_token stop) { return waitUntilStopped(stop); };
    auto miner = coordinator(FakeEngine::Behaviour::holdUntilStop);
    miner->stop();
    EventLog log;
    EXPECT_THROW(miner->run(log.handler()), Cancelled);
    EXPECT_TRUE(log.events().empty());

    std::jthread running([&] { EXPECT_THROW(miner->run(log.handler()), Cancelled); });
    ASSERT_TRUE(eventually([&] { return !log.all<mining_event::WorkLoaded>().empty(); }));
    EXPECT_THROW(miner->run(log.handler()), std::logic_error);
    miner->stop();
    running.join();
    EXPECT_EQ(log.all<mining_event::TemplateReceived>().size(), 1u);
}

// The check of a candidate still waiting for the node when the run ends is stopped with the run:
// the run ends at once, not when the check gives up on the node (the session ends on the
// interface thread: a stop or a quit would freeze the window that long), and its verdict never
// reaches a handler whose session may be gone (it crashed the application when a stop came while
// the node was slow to answer).
TEST_F(CoordinatorFixture, NoCandidateVerdictReachesTheHandlerOnceTheRunHasEnded) {
    std::atomic<bool> proposed{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> released{false};
    std::atomic<bool> answered{false};
    // Far past the test's patience: a run that waits for the check cannot pass for one that
    // stopped it.
    timings.proposalTimeoutSeconds = 3600;
    TestHttpServer node([&](const TestHttpServer::Request&, std::stop_token stop) {
        proposed = true;
        // Answers only once the run is over, as a node busy past a stop does, or once the test
        // gives up on the run.
        while (!ended && !released && !stop.stop_requested()) std::this_thread::sleep_for(1ms);
        answered = true;
        return std::optional<TestHttpServer::Reply>(
            TestHttpServer::Reply{200, R"({"result":null,"error":null,"id":1})"});
    });
    client = std::make_shared<RPCClient>(node.endpoint(), RPCCredentials{"u", "p"});
    watcher->onCurrent = [](std::stop_token) { return makeJob(1, "a"); };
    watcher->onWaitForChange = [](auto&&, std::stop_token stop) { return waitUntilStopped(stop); };
    auto miner = coordinator(FakeEngine::Behaviour::holdUntilStop);
    EventLog log;
    std::atomic<int> late{0};
    std::jthread running([&] {
        try {
            miner->run([&](const MiningEvent& event) {
                if (ended) ++late;
                log.handler()(event);
            });
        } catch (const Cancelled&) {
        }
        ended = true;
    });
    ASSERT_TRUE(eventually([&] { return proposed.load(); }));
    miner->stop();
    const bool endedWhileTheNodeHeldItsAnswer = eventually([&] { return ended.load(); });
    released = true;
    running.join();
    ASSERT_TRUE(endedWhileTheNodeHeldItsAnswer);
    // A verdict that outlived the run would follow the node's answer at once.
    eventually([&] { return late > 0; }, 2s);
    EXPECT_EQ(late, 0);
    EXPECT_TRUE(log.all<mining_event::CandidateValidated>().empty());
}

TEST_F(CoordinatorFixture, ANewTemplateReplacesTheJob) {
    std::atomic<int> templates{0};
    watcher->onCurrent = [](std::stop_token) { return makeJob(1, "a"); };
    watcher->onWaitForChange = [&](auto&&, std::stop_token stop) {
        if (++templates > 2) return waitUntilStopped(stop);
        return makeJob(static_cast<std::uint8_t>(templates + 1), "n", templates + 1);
    };
    auto miner = coordinator(FakeEngine::Behaviour::holdUntilStop);
    EventLog log;
    std::jthread running([&] { EXPECT_THROW(miner->run(log.handler()), Cancelled); });
    EXPECT_TRUE(eventually([&] { return log.all<mining_event::TemplateReceived>().size() >= 3; }));
    // Each job's candidate is proposed in the background while the run goes on; with no node it
    // cannot be checked. (A check the stop finds unfinished ends with the run, unsaid.)
    EXPECT_TRUE(eventually(
        [&] { return log.all<mining_event::CandidateValidationUnavailable>().size() == 3; }));
    miner->stop();
    running.join();
    EXPECT_EQ(log.all<mining_event::WorkAbandoned>(),
              (std::vector<mining_event::WorkAbandoned>{{"new template received (height 2)"},
                                                        {"new template received (height 3)"}}));
    EXPECT_EQ(log.all<mining_event::CandidateValidationUnavailable>().size(), 3u);
}

TEST_F(CoordinatorFixture, ADeadNodeIsRestartedAndMiningGoesOn) {
    struct DyingOnce final : NodeSupervising {
        std::atomic<int> watches{0};
        std::int32_t waitForUnexpectedTermination(std::stop_token stop) override {
            if (++watches == 1) return 137;
            sleepFor(std::chrono::hours(1), stop);
            throw Cancelled();
        }
        std::shared_ptr<const RPCClient> restart(std::chrono::milliseconds,
                                                 std::chrono::milliseconds,
                                                 std::stop_token) override {
            return std::make_shared<RPCClient>("http://127.0.0.1:2/", RPCCredentials{"u", "p"});
        }
        void awaitReadyToMine(std::chrono::milliseconds,
                              const std::function<void(const ChainStatus&)>&,
                              std::stop_token) override {}
    };
    watcher->onCurrent = [](std::stop_token) { return makeJob(1, "a"); };
    watcher->onWaitForChange = [](auto&&, std::stop_token stop) { return waitUntilStopped(stop); };
    auto miner = coordinator(FakeEngine::Behaviour::holdUntilStop, std::make_shared<DyingOnce>());
    EventLog log;
    std::jthread running([&] { EXPECT_THROW(miner->run(log.handler()), Cancelled); });
    EXPECT_TRUE(eventually([&] {
        return !log.after<mining_event::WorkLoaded, mining_event::NodeRestarted>().empty();
    }));
    miner->stop();
    running.join();
    EXPECT_EQ(log.all<mining_event::NodeDied>(), std::vector<mining_event::NodeDied>{{137}});
    EXPECT_EQ(log.all<mining_event::NodeRestarted>(),
              std::vector<mining_event::NodeRestarted>{{1}});
}

// A signet whose blocks need a signature has nothing to mine, now or later: whenever its template
// comes (first, after a failure, or as a change), the run ends with it, said by no `recovering`
// event and never hashed.
TEST_F(CoordinatorFixture, AChainWhoseBlocksNeedASignatureEndsTheRunUnhashed) {
    const BlockAssemblyError needsSignature(BlockAssemblyError::SignetNeedsSignature{"52"});
    const auto loading = [] { throw RPCError(-28, "Loading block index"); };
    const struct {
        const char* name;
        std::function<MiningJob(int call)> current;  // call counts from 1
        bool changeNeedsSignature;
        int hashedJobs;
        std::vector<std::string> recovering;
    } cases[] = {
        {"the first template", [&](int) -> MiningJob { throw needsSignature; }, false, 0, {}},
        {"after a failure",
         [&](int call) -> MiningJob {
             if (call == 1) loading();
             throw needsSignature;
         },
         false,
         0,
         {RPCError(-28, "Loading block index").what()}},
        {"a changed template", [](int) { return makeJob(1, "a"); }, true, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> calls{0};
        watcher->onCurrent = [&](std::stop_token) { return c.current(++calls); };
        watcher->onWaitForChange = [&](auto&&, std::stop_token stop) -> MiningJob {
            if (c.changeNeedsSignature) throw needsSignature;
            return waitUntilStopped(stop);
        };
        auto miner = coordinator(FakeEngine::Behaviour::holdUntilStop);
        EventLog log;
        std::atomic<bool> ended{false};
        std::optional<BlockAssemblyError::Kind> endedWith;
        std::jthread running([&] {
            try {
                miner->run(log.handler());
            } catch (const BlockAssemblyError& error) {
                endedWith = error.kind();
            } catch (const std::exception&) {
            }
            ended = true;
        });
        if (!eventually([&] { return ended.load(); })) miner->stop();
        running.join();
        EXPECT_EQ(endedWith, needsSignature.kind());
        EXPECT_EQ(reasons(log), c.recovering);
        EXPECT_EQ(static_cast<int>(log.all<mining_event::TemplateReceived>().size()), c.hashedJobs);
        if (c.hashedJobs == 0) {
            EXPECT_EQ(engine->searches, 0);
        }
    }
}

}  // namespace
}  // namespace corvanta

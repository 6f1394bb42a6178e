#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "NodeHarness.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/Cancelled.h"

// Start-up and shutdown faults, scripted through the test node's own flags and control channel.
namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::HasSubstr;

class NodeFaultsTest : public testing::NodeHarness {
  protected:
    void SetUp() override {
        NodeHarness::SetUp();
        if (IsSkipped()) return;
        if (!usingTestNode()) GTEST_SKIP() << "needs the test node's fault flags";
    }

    void sendControl(const std::string& command) {
        const auto deadline = Clock::now() + testing::patience;
        while (!std::filesystem::exists(controlSocket())) {
            ASSERT_LT(Clock::now(), deadline) << "the control channel never opened";
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_THAT(testing::sendLine(controlSocket(), command), HasSubstr("\"ok\": true"));
    }

    void waitForLaunches(std::size_t count) {
        const auto deadline = Clock::now() + testing::patience;
        for (;;) {
            const std::string pids = testing::readText(pidFile());
            if (std::count(pids.begin(), pids.end(), '\n') >= static_cast<long>(count)) break;
            ASSERT_LT(Clock::now(), deadline) << "the node was never launched";
            std::this_thread::sleep_for(10ms);
        }
    }

    // Runs `begin` on another thread, stops the controller once it has been waiting a moment,
    // and checks that `begin` ended with Cancelled and the stop left no node behind.
    void expectStopWins(NodeController& controller, std::size_t launches,
                        const std::function<void()>& begin) {
        auto pending = std::async(std::launch::async, begin);
        waitForLaunches(launches);
        EXPECT_EQ(pending.wait_for(300ms), std::future_status::timeout);
        // Every wait in play lasts a minute or more: ending within the tests' patience is the
        // stop's.
        auto stopping = std::async(std::launch::async, [&] { controller.stop(); });
        ASSERT_EQ(stopping.wait_for(testing::patience), std::future_status::ready);
        ASSERT_EQ(pending.wait_for(testing::patience), std::future_status::ready);
        EXPECT_THROW(pending.get(), Cancelled);
        EXPECT_TRUE(controller.isStopped());
        EXPECT_EQ(controller.currentClient(), nullptr);
        EXPECT_TRUE(testing::allProcessesGone(pidFile(), 0.0));
    }
};

using testing::kindOf;

TEST_F(NodeFaultsTest, WaitsForALateCookie) {
    setLaunchFlags("-test-cookie-delay=0.6");
    NodeController& controller = makeController();
    const auto started = Clock::now();
    EXPECT_NE(controller.startAndConnect(30s, 30s, {}), nullptr);
    EXPECT_GE(Clock::now() - started, 600ms);
    controller.stop();
}

TEST_F(NodeFaultsTest, StillLoadingIsProgressNotATimeout) {
    // Answers -28 for longer than the warm-up timeout: it is loading, so the wait goes on.
    setLaunchFlags("-test-warmup=1.2 -test-warmup-message=Verifying…");
    NodeController& controller = makeController();
    const auto started = Clock::now();
    EXPECT_NE(controller.startAndConnect(30s, 300ms, {}), nullptr);
    EXPECT_GE(Clock::now() - started, 1200ms);
    controller.stop();

    // Still loading at the overall limit: the start fails and the node is ended.
    auto timings = fastTimings();
    timings.warmupLimit = 500ms;
    setLaunchFlags("-test-warmup=60");
    NodeController& slow = makeController(timings, dir_.path() / "slow");
    EXPECT_EQ(kindOf([&] { slow.startAndConnect(30s, 300ms, {}); }),
              NodeProcessError::Kind(NodeProcessError::WarmupTimeout{}));
    EXPECT_TRUE(slow.isStopped());
    EXPECT_TRUE(testing::allProcessesGone(pidFile(), 0.0));
}

TEST_F(NodeFaultsTest, ANodeThatAnswersNothingEndsTheWarmUp) {
    setLaunchFlags("-test-cookie-delay=3 -test-control=" + controlSocket().string());
    NodeController& controller = makeController();
    auto start =
        std::async(std::launch::async, [&] { return controller.startAndConnect(30s, 500ms, {}); });
    sendControl(R"({"cmd":"delay","method":"getblockcount","seconds":30})");
    ASSERT_EQ(start.wait_for(testing::patience), std::future_status::ready);
    EXPECT_EQ(kindOf([&] { start.get(); }),
              NodeProcessError::Kind(NodeProcessError::WarmupTimeout{}));
    EXPECT_TRUE(controller.isStopped());
}

TEST_F(NodeFaultsTest, DeathIsReportedWithItsExitCode) {
    setLaunchFlags("-test-control=" + controlSocket().string());
    NodeController& controller = makeController();
    controller.startAndConnect(30s, 30s, {});
    auto death =
        std::async(std::launch::async, [&] { return controller.waitForUnexpectedTermination({}); });
    sendControl(R"({"cmd":"die","code":3})");
    ASSERT_EQ(death.wait_for(testing::patience), std::future_status::ready);
    EXPECT_EQ(death.get(), 3);
    EXPECT_TRUE(controller.isStopped());
    EXPECT_THAT(controller.node().recentOutput(), HasSubstr("Killed through the control channel"));
    controller.stop();
}

TEST_F(NodeFaultsTest, ADeathDuringTheWarmUpOrTheSyncWaitIsExplained) {
    // A node that dies once connected refuses every later call: the start (or the wait for the
    // chain) ends with the node's exit code and last words, not with a transport error.
    const auto expectExit = [&](std::future<void>& pending, std::int32_t code) {
        ASSERT_EQ(pending.wait_for(testing::patience), std::future_status::ready);
        const auto kind = kindOf([&] { pending.get(); });
        const auto* exited = std::get_if<NodeProcessError::ExitedDuringStartup>(&kind);
        ASSERT_NE(exited, nullptr);
        EXPECT_EQ(exited->status, code);
        EXPECT_THAT(exited->output, HasSubstr("Killed through the control channel"));
    };

    setLaunchFlags("-test-warmup=60 -test-control=" + controlSocket().string());
    NodeController& warmingUp = makeController(std::nullopt, dir_.path() / "warmup");
    auto start = std::async(std::launch::async, [&] { warmingUp.startAndConnect(30s, 30s, {}); });
    const auto cookieWritten = Clock::now() + testing::patience;
    while (!std::filesystem::exists(warmingUp.configuration().cookieURL())) {
        ASSERT_LT(Clock::now(), cookieWritten);
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(100ms);  // into the warm-up, answered "still loading"
    // Turned away as by a server shutting down, but still running: the wait goes on.
    sendControl(R"({"cmd":"fail","method":"getblockcount","http":503})");
    EXPECT_EQ(start.wait_for(300ms), std::future_status::timeout);
    sendControl(R"({"cmd":"die","code":4})");
    expectExit(start, 4);
    EXPECT_TRUE(warmingUp.isStopped());

    std::filesystem::remove(controlSocket());
    setLaunchFlags("-test-control=" + controlSocket().string());
    NodeController& syncing = makeController(std::nullopt, dir_.path() / "sync");
    syncing.startAndConnect(30s, 30s, {});
    auto ready = std::async(std::launch::async,
                            [&] { syncing.awaitReadyToMine(50ms, [](const ChainStatus&) {}, {}); });
    sendControl(R"({"cmd":"die","code":3})");
    expectExit(ready, 3);
    syncing.stop();
}

TEST_F(NodeFaultsTest, AFailedRPCStopFallsBackToSIGTERMAtOnce) {
    setLaunchFlags("-test-control=" + controlSocket().string());
    // A grace far beyond the tests' patience: a stop that ends within it is the SIGTERM's doing.
    auto timings = fastTimings();
    timings.stopGrace = 10min;
    NodeController& controller = makeController(timings);
    controller.startAndConnect(30s, 30s, {});
    sendControl(R"({"cmd":"fail","method":"stop","code":-1,"message":"refused"})");
    auto stopping = std::async(std::launch::async, [&] { controller.stop(); });
    ASSERT_EQ(stopping.wait_for(testing::patience), std::future_status::ready);
    EXPECT_TRUE(controller.isStopped());
    EXPECT_EQ(controller.node().lastTerminationReason(), NodeTerminationReason::requested());
}

TEST_F(NodeFaultsTest, AStopDuringEachWaitOfAStartWins) {
    setLaunchFlags("-test-cookie-delay=60");
    NodeController& cookieWait = makeController(std::nullopt, dir_.path() / "cookie");
    expectStopWins(cookieWait, 1, [&] { cookieWait.startAndConnect(90s, 30s, {}); });

    setLaunchFlags("-test-warmup=60");
    NodeController& warmUp = makeController(std::nullopt, dir_.path() / "warmup");
    expectStopWins(warmUp, 2, [&] { warmUp.startAndConnect(30s, 90s, {}); });

    setLaunchFlags("");
    NodeController& restart = makeController(std::nullopt, dir_.path() / "restart");
    restart.startAndConnect(30s, 30s, {});
    setLaunchFlags("-test-cookie-delay=60");
    expectStopWins(restart, 4, [&] { restart.restart(90s, 30s, {}); });
}

}  // namespace
}  // namespace corvanta

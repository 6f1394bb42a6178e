#include <gtest/gtest.h>

#include <thread>

#include "JobRace.h"
#include "LoopFakes.h"
#include "TestSupport.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta {
namespace {

using namespace testing;
using namespace std::chrono_literals;

struct RaceFixture : ::testing::Test {
    TempDir folder;
    BestDifficultyTracker tracker{BestDifficultyStore(folder.path() / "best.json")};
    loop::LongPollGuard longPolls;
    MiningLoopTimings timings{.tipPollInterval = 10ms, .mempoolRefreshInterval = 50ms};
    EventLog log;
    FakeTemplateSource watcher;
    MiningEventHandler onEvent = log.handler();

    std::shared_ptr<FakeEngine> engine;

    loop::JobRaceWinner race(const MiningJob& job, FakeEngine::Behaviour behaviour) {
        engine = std::make_shared<FakeEngine>(behaviour);
        const BlockMiner miner(engine);
        const loop::JobRace jobRace{job, watcher, miner, tracker, longPolls, timings, onEvent};
        return jobRace.run(0, std::chrono::steady_clock::now(), {});
    }
};

// The template changes while the sweep is under way; the sweep then reports a winner as it stops.
MiningJob changeDuringTheSweep(const std::shared_ptr<FakeEngine>& engine, MiningJob next,
                               std::stop_token stop) {
    while (engine->searches == 0) sleepOrThrow(std::chrono::milliseconds(1), stop);
    return next;
}

TEST_F(RaceFixture, ABlockFoundAsTheTemplateChangesOnTheSameTipIsKept) {
    const auto job = makeJob(1, "a");
    watcher.onWaitForChange = [&](auto&&, std::stop_token stop) {
        return changeDuringTheSweep(engine, makeJob(1, "b"), stop);
    };
    const auto winner = race(job, FakeEngine::Behaviour::winAfterStop);
    ASSERT_TRUE(std::holds_alternative<loop::RaceBlockFound>(winner));
    EXPECT_EQ(std::get<loop::RaceBlockFound>(winner).extranonce, 0u);
    EXPECT_EQ(log.all<mining_event::WorkLoaded>().size(), 1u);
    EXPECT_FALSE(log.all<mining_event::BestDifficulty>().empty());
}

TEST_F(RaceFixture, ABlockFoundAsTheTipMovesIsDropped) {
    const auto job = makeJob(1, "a");
    watcher.onWaitForChange = [&](auto&&, std::stop_token stop) {
        return changeDuringTheSweep(engine, makeJob(2, "c", 2), stop);
    };
    const auto winner = race(job, FakeEngine::Behaviour::winAfterStop);
    ASSERT_TRUE(std::holds_alternative<loop::NewTemplate>(winner));
    EXPECT_EQ(std::get<loop::NewTemplate>(winner).job.height, 2);
}

TEST_F(RaceFixture, ALongPollFailureEndsTheSweepAndIsRethrown) {
    watcher.onWaitForChange = [&](auto&&, std::stop_token stop) -> MiningJob {
        changeDuringTheSweep(engine, makeJob(1, "a"), stop);
        throw RPCError(-1, "boom");
    };
    EXPECT_THROW(race(makeJob(1, "a"), FakeEngine::Behaviour::holdUntilStop), RPCError);
    // The same failure with a block found in the meantime still hands the block over.
    EXPECT_TRUE(std::holds_alternative<loop::RaceBlockFound>(
        race(makeJob(1, "a"), FakeEngine::Behaviour::winAfterStop)));
}

TEST_F(RaceFixture, ExhaustedSweepsRollTheExtranonce) {
    watcher.onWaitForChange = [&](auto&&, std::stop_token stop) {
        while (log.all<mining_event::SearchExhausted>().size() < 3) sleepOrThrow(1ms, stop);
        return makeJob(2, "b", 2);
    };
    race(makeJob(1, "a"), FakeEngine::Behaviour::exhaustAtOnce);
    const auto exhausted = log.all<mining_event::SearchExhausted>();
    ASSERT_GE(exhausted.size(), 3u);
    for (std::size_t i = 0; i < exhausted.size(); ++i) EXPECT_EQ(exhausted[i].extranonce, i);
    EXPECT_EQ(log.all<mining_event::WorkLoaded>().size(), 1u);  // once per job
}

TEST_F(RaceFixture, TheHeaderTimeMovesOneSecondPerRollOfSweepsWithinItsBounds) {
    timings.sweepsPerTimeRoll = 3;
    watcher.onWaitForChange = [&](auto&&, std::stop_token stop) {
        while (log.all<mining_event::SearchExhausted>().size() < 7) sleepOrThrow(1ms, stop);
        return makeJob(2, "b", 2);
    };
    const auto job = makeJob(1, "a");
    race(job, FakeEngine::Behaviour::exhaustAtOnce);
    // The block miner hands each sweep to the engine in batches.
    const auto searchesPerSweep = (std::uint64_t{1} << 32) / BlockMiner::batchSize;
    const auto searched = engine->headerTimes();
    ASSERT_GE(searched.size(), 7 * searchesPerSweep);
    std::vector<std::uint32_t> times;
    for (std::size_t sweep = 0; sweep < 7; ++sweep) {
        times.push_back(searched[sweep * searchesPerSweep]);
    }
    const auto t = job.curTime;
    EXPECT_EQ(times, (std::vector<std::uint32_t>{t, t, t, t + 1, t + 1, t + 1, t + 2}));

    struct Case {
        std::uint32_t time, minTime;
        double now;
        std::uint32_t rolled;
    };
    const double now = 1'700'000'000;
    for (const auto& c : {
             Case{1'700'000'000, 1'699'999'000, now, 1'700'000'001},
             Case{1'700'000'000, 1'700'000'002, now, 1'700'000'000},  // still below the minimum
             Case{UINT32_MAX, 1, now, UINT32_MAX},                    // would wrap below it
             Case{1'700'007'199, 0, now, 1'700'007'200},              // two hours ahead at most
             Case{1'700'007'200, 0, now, 1'700'007'200},
         }) {
        EXPECT_EQ(loop::rolledHeaderTime(c.time, c.minTime, c.now), c.rolled) << c.time;
    }
}

TEST_F(RaceFixture, NeverGivesUpASecondLongPollOnTheSameTip) {
    // The first long-poll times out: the node may still hold it, so the race goes on by polling
    // the template instead of asking for another long-poll.
    watcher.onWaitForChange = [](auto&&, std::stop_token) -> MiningJob {
        throw RPCTransportError(RPCTransportError::Network{"timed out", true});
    };
    std::atomic<int> polls{0};
    watcher.onCurrent = [&](std::stop_token) {
        return ++polls < 3 ? makeJob(1, "a") : makeJob(3, "z", 2);
    };
    const auto winner = race(makeJob(1, "a"), FakeEngine::Behaviour::holdUntilStop);
    ASSERT_TRUE(std::holds_alternative<loop::NewTemplate>(winner));
    EXPECT_EQ(std::get<loop::NewTemplate>(winner).job.height, 2);
    EXPECT_EQ(watcher.waitCalls.load(), 1);

    // A later job on that tip polls at once; a new tip may long-poll again.
    EXPECT_FALSE(longPolls.mayLongPoll(makeJob(1, "q").previousBlockHash));
    EXPECT_TRUE(longPolls.mayLongPoll(makeJob(3, "z").previousBlockHash));

    // While polling, a change of transactions alone waits for the mempool interval.
    polls = 0;
    watcher.onCurrent = [&](std::stop_token) {
        ++polls;
        return makeJob(1, "mempool-changed");
    };
    const auto started = std::chrono::steady_clock::now();
    const auto refreshed = race(makeJob(1, "a"), FakeEngine::Behaviour::holdUntilStop);
    EXPECT_GE(std::chrono::steady_clock::now() - started, timings.mempoolRefreshInterval);
    EXPECT_EQ(*std::get<loop::NewTemplate>(refreshed).job.longPollID, "mempool-changed");
    EXPECT_EQ(watcher.waitCalls.load(), 1);
}

TEST_F(RaceFixture, AStopEndsBothSides) {
    watcher.onWaitForChange = [](auto&&, std::stop_token stop) { return waitUntilStopped(stop); };
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(30ms);
        stop.request_stop();
    });
    const BlockMiner miner(std::make_shared<FakeEngine>(FakeEngine::Behaviour::holdUntilStop));
    const auto job = makeJob(1, "a");
    const loop::JobRace jobRace{job, watcher, miner, tracker, longPolls, timings, onEvent};
    EXPECT_THROW(jobRace.run(0, std::nullopt, stop.get_token()), Cancelled);
    // The long-poll given up on is remembered for this tip.
    EXPECT_FALSE(longPolls.mayLongPoll(job.previousBlockHash));
    EXPECT_TRUE(log.all<mining_event::WorkLoaded>().empty());  // no receive instant given
}

}  // namespace
}  // namespace corvanta

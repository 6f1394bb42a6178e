// A session's life against a node program: the sync of a test network, the mining events, a node
// that dies and comes back, maturing rewards, the governor and the idle-sleep lock.
#include <QRegularExpression>

#include <atomic>
#include <csignal>
#include <thread>

#include "SessionNodeHarness.h"
#include "SystemServices/EarningsScan.h"
#include "corvanta/mining/GovernorEvent.h"
#include "corvanta/mining/SystemGovernor.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;
using namespace mining_event;

const QString testnetAddress = "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx";

TEST_F(SessionNodeTest, ATestNetworkSessionShowsItsSyncWhileThePollersRunThenMines) {
    if (!usingTestNode()) GTEST_SKIP() << "the sync is scripted through the test node";
    setLaunchFlags("-test-control=" + controlSocket().string());
    useScriptedMiner();
    auto& m = makeModel(BitcoinNetwork::testnet4, testnetAddress);
    m.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            return logMessages(m).contains("Node connected, waiting for sync before mining\u2026");
        },
        30'000));
    control(R"({"cmd":"sync","blocks":120,"headers":480,"progress":0.25,"ibd":true,"peers":2})");
    ASSERT_TRUE(waitFor(Kind::syncing));
    ASSERT_TRUE(waitUntil([&] { return m.runState().syncBlocks == 120; }));
    EXPECT_EQ(m.runState().syncHeaders, 480);
    EXPECT_DOUBLE_EQ(m.runState().syncPercent, 25);
    // The pollers already run while the session waits.
    ASSERT_TRUE(waitUntil([&] { return m.peerCountValue() == QVariant(2); }));
    EXPECT_TRUE(m.chainStatusValue().isValid());

    control(R"({"cmd":"sync","blocks":480,"headers":480,"progress":1.0,"ibd":false})");
    ASSERT_TRUE(waitFor(Kind::mining));
    EXPECT_TRUE(logMessages(m).contains("Node synced, mining."));
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    EXPECT_EQ(states.front(), Kind::startingNode);
    EXPECT_EQ(std::vector(states.end() - 3, states.end()),
              (std::vector<Kind>{Kind::mining, Kind::stopping, Kind::idle}));
    EXPECT_TRUE(std::all_of(states.begin() + 1, states.end() - 3,
                            [](Kind kind) { return kind == Kind::syncing; }));
}

TEST_F(SessionNodeTest, EachMiningEventHasItsEffectAndLineWithinTheLimits) {
    const std::vector<std::uint8_t> hash{0x01, 0x02, 0x03};
    const std::vector<std::uint8_t> second{0x04, 0x05, 0x06};
    std::vector<MiningEvent> script{
        TemplateReceived{101},
        WorkLoaded{101, 17.6},
        SearchExhausted{7},
        CandidateValidated{101, 3},
        CandidateRejected{101, "bad-txns"},
        BlockFound{101, hash, 5'000'000'000},
        SubmissionResultEvent{101, hash, SubmissionResult{SubmissionResult::Accepted{}}},
        BlockFound{102, second, 7},
        SubmissionResultEvent{102, second,
                              SubmissionResult{SubmissionResult::Rejected{"high-hash"}}},
        WorkAbandoned{"tip changed"},
        Recovering{"timeout"},
        NodeDied{9},
        BestDifficulty{1.5, 2.5, 3.5},
    };
    for (int i = 0; i < 201; ++i) script.push_back(BlockFound{1000 + i, hash, 1});
    for (int i = 0; i < 201; ++i) script.push_back(WorkLoaded{5, double(i)});
    script.push_back(CandidateValidationUnavailable{103, "busy"});
    useScriptedMiner(script);
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitUntil(
        [&] { return m.candidateValidationValue().value<CandidateValidation>().reason == "busy"; },
        30'000));

    const QStringList lines = logMessages(m);
    for (const char* line :
         {"Template received \u2014 height 101", "New work loaded \u2014 height 101 in 18 ms",
          "Nonce range exhausted \u2014 extranonce 7",
          "Candidate validated by Core \u2014 height 101, 3 tx",
          "CANDIDATE REJECTED by Core \u2014 height 101: bad-txns",
          "BLOCK FOUND \u2014 height 101 \u2014 030201",
          "Submission \u2014 ACCEPTED \u2014 height 101",
          "Submission \u2014 REJECTED \u2014 height 102: high-hash", "Work abandoned: tip changed",
          "Recovering after failure: timeout",
          "Node stopped unexpectedly (code 9), restarting\u2026",
          "Candidate validation unavailable \u2014 height 103: busy"}) {
        EXPECT_EQ(lines.count(line), 1) << line;
    }
    EXPECT_EQ(m.templatesReceived(), 1);
    EXPECT_EQ(m.extranonceRotations(), 1);
    EXPECT_EQ(m.currentExtranonce(), 8u);
    EXPECT_EQ(m.templatesAbandoned(), 1);
    EXPECT_EQ(m.bestDifficultyAllTimeValue(), QVariant(2.5));
    // 203 found blocks trimmed to the newest 100 past 200; 202 latencies to the newest 200.
    const auto blocks = m.blocksFoundValue();
    ASSERT_EQ(blocks.size(), 100 + 2);
    EXPECT_EQ(blocks.back().value<FoundBlockRecord>().height, 1200);
    EXPECT_EQ(m.workLoadLatencies().size(), 200);
    EXPECT_EQ(m.workLoadLatencies().back(), 200.0);
    // The accepted block was notified, the rejected one carries its reason; no celebration
    // off mainnet.
    ASSERT_TRUE(waitUntil([&] { return !notifications.received.empty(); }));
    EXPECT_TRUE(notifications.received.front().body.contains("101"));
    EXPECT_FALSE(m.blockFoundPresentationValue().isValid());

    // A flood while mining reaches the model, none of it waiting for a later event: nothing is
    // sent after the last one, so its arrival is the proof. How soon it arrives is a benchmark's
    // figure (the session benchmark's event path), the spacing of the bursts the pump's own test.
    m.setTemplateBits(std::nullopt);
    for (int i = 0; i < 3'000; ++i) {
        ASSERT_TRUE(scripted()->send(TemplateReceived{200 + i}));
        if (i % 300 == 0) std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(waitUntil([&] { return m.templatesReceived() == 3'001; }, 30'000));
    EXPECT_EQ(m.templateHeightValue().toLongLong(), 3'199);
    // The newest template's details are fetched, however many templates it replaced.
    EXPECT_TRUE(waitUntil([&] { return m.templateBitsValue().isValid(); }, 30'000));
    // A new template resets the extranonce.
    EXPECT_EQ(m.currentExtranonce(), 0u);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

TEST_F(SessionNodeTest, ANodeKilledMidSessionIsRestartedAndEverythingFollowsTheNewClient) {
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining, 30'000)) << logMessages(m).join("\n").toStdString();
    ASSERT_TRUE(waitUntil([&] { return m.templateBitsValue().isValid(); }, 20'000));
    const pid_t first = lastPid(pidFile());
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    ASSERT_TRUE(waitUntil(
        [&] { return logMessages(m).contains("RPC client rebound to the restarted node."); },
        45'000))
        << logMessages(m).join("\n").toStdString();
    EXPECT_NE(lastPid(pidFile()), first);
    // The first client is refused by the new node: what updates now came through the new one.
    m.setTemplateBits(std::nullopt);
    m.setNetworkHashesPerSecond(std::nullopt);
    m.setPeerCount(std::nullopt);
    const auto logged = [&] { return logMessages(m).join("\n").toStdString(); };
    ASSERT_TRUE(waitUntil([&] { return m.templateBitsValue().isValid(); }, 20'000)) << logged();
    ASSERT_TRUE(waitUntil([&] { return m.networkHashesPerSecondValue().isValid(); }, 20'000))
        << logged();
    ASSERT_TRUE(waitUntil([&] { return m.peerCountValue().isValid(); }, 20'000)) << logged();
    EXPECT_EQ(m.runState().kind, Kind::mining);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle, 20'000)) << logged();
}

// The heights of the reward-matured notifications, in order.
std::vector<std::int64_t> maturedHeights(const FakeNotifications& server) {
    std::vector<std::int64_t> heights;
    const QString title = Localization::shared().string("R\u00e9compense mature");
    static const QRegularExpression number("\\d+");
    for (const auto& posted : server.received) {
        if (posted.summary == title)
            heights.push_back(number.match(posted.body).captured().toLongLong());
    }
    return heights;
}

TEST_F(SessionNodeTest, AFoundBlockReachingMaturityIsNotifiedOnceAndNeverOnAFirstPass) {
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitUntil([&] { return !maturedHeights(notifications).empty(); }, 120'000));
    settle(1'000);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    // Notifications still on their way to the server belong to this session.
    for (auto count = notifications.received.size();;) {
        settle(500);
        if (notifications.received.size() == count) break;
        count = notifications.received.size();
    }
    auto heights = maturedHeights(notifications);
    std::set<std::int64_t> seen(heights.begin(), heights.end());
    EXPECT_EQ(seen.size(), heights.size()) << "a reward notified twice";

    // A new session's refresher starts without a baseline: the rewards already mature are not
    // notified again.
    std::set<std::int64_t> mature;
    for (const auto& block :
         MiningHistoryStore(harness.historyFile(BitcoinNetwork::regtest)).allBlocks()) {
        if (block.status == FoundBlockStatus::mature) mature.insert(block.height);
    }
    ASSERT_FALSE(mature.empty());
    const auto before = heights.size();
    useScriptedMiner();
    auto& again = makeModel();
    again.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    settle(1'000);
    again.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    heights = maturedHeights(notifications);
    for (std::size_t i = before; i < heights.size(); ++i) EXPECT_FALSE(mature.contains(heights[i]));
}

TEST_F(SessionNodeTest, TheGovernorAnswersWhileMiningAndNothingReachesItAfterward) {
    harness.environment.performanceCoreCount = 6;
    useScriptedMiner();
    auto& m = makeModel();
    m.setPreventIdleSleepEnabled(true);
    EXPECT_EQ(logind.calls(), 0);
    m.start();
    ASSERT_TRUE(waitUntil([&] { return logind.calls() == 1; }));
    ASSERT_TRUE(waitFor(Kind::mining));
    ASSERT_TRUE(waitUntil([&] { return m.effectiveWorkerCountValue().isValid(); }));
    EXPECT_EQ(m.effectiveWorkerCountValue().toInt(),
              SystemGovernor::baseWorkerCount(PowerMode::balanced, 6));
    // Pauses, modes and the schedule never restart the mining-time counter.
    const QVariant started = m.miningStartedAtValue();
    ASSERT_TRUE(started.isValid());

    struct Step {
        const char* name;
        std::function<void()> act;
        bool paused;
        int workers;
        // The governor's words, which tell the schedule's pause from the others.
        std::string_view reason;
    };
    const std::vector<Step> steps{
        {"manual pause", [&] { m.setManuallyPaused(true); }, true,
         SystemGovernor::baseWorkerCount(PowerMode::balanced, 6), "Mining en pause — demandé"},
        {"mode change", [&] { m.selectPowerModeManually(PowerMode::eco); }, false,
         SystemGovernor::baseWorkerCount(PowerMode::eco, 6), ""},
        {"off slot",
         [&] {
             m.setScheduleMode(ScheduledMode::off, 0, 143);
             m.setScheduleEnabled(true);
         },
         true, SystemGovernor::baseWorkerCount(PowerMode::eco, 6), schedulePauseMessage},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const auto lines = logMessages(m).size();
        step.act();
        ASSERT_TRUE(waitUntil([&] {
            return m.governorPaused() == step.paused &&
                   m.effectiveWorkerCountValue() == QVariant(step.workers) &&
                   logMessages(m).size() > lines;
        }));
        EXPECT_EQ(m.governorPauseReason().toStdString(), step.reason);
        EXPECT_EQ(m.miningStartedAtValue(), started);
    }
    EXPECT_EQ(logind.released(), 0);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    ASSERT_TRUE(waitUntil([&] { return logind.released() == 1; }));
    EXPECT_FALSE(m.governorPaused());

    // No session, no governor: the requests stay in the model.
    const auto lines = logMessages(m).size();
    m.setScheduleEnabled(false);
    m.setManuallyPaused(true);
    settle(300);
    EXPECT_FALSE(m.governorPaused());
    EXPECT_EQ(logMessages(m).size(), lines);
    EXPECT_EQ(logind.calls(), 1);
}

TEST_F(SessionNodeTest, AnAcceptedBlockMovesTheEarningsAtOnceAndBlocksShareOneNotice) {
    // Only the scan and the history pass at the start would come from their periods.
    harness.environment.session.timings.earningsInterval = 1h;
    harness.environment.session.timings.historyInterval = 1h;
    harness.environment.session.timings.earningsRescanDelay = 50ms;
    harness.environment.session.timings.earningsCalmPeriod = 50ms;
    harness.environment.session.timings.earningsScanSpacing = 50ms;
    auto& m = makeModel(BitcoinNetwork::regtest,
                        "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85");
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining)) << logMessages(m).join("\n").toStdString();
    const auto earned = [&] {
        const auto& earnings = m.earnings();
        return earnings ? earningsTotalSats(earnings->matureSats, earnings->immatureSats) : 0;
    };
    ASSERT_TRUE(waitUntil([&] { return earned() > 0; }, 60'000))
        << logMessages(m).join("\n").toStdString();
    // A scan confirms the figure once the blocks give it a moment.
    EXPECT_TRUE(
        waitUntil([&] { return logMessages(m).filter("Earnings scan started").size() >= 2; }));
    // The history's count follows as well, without waiting for the refresher.
    ASSERT_TRUE(waitUntil([&] { return m.persistedHistoryCount() > 0; }));

    // Blocks on a test network: one notice, updated in place with the count.
    const QString single = Localization::shared().string(QStringLiteral("Bloc miné !"));
    const QString several = Localization::shared().string(QStringLiteral("Blocs minés !"));
    ASSERT_TRUE(waitUntil([&] { return m.blocksFoundValue().size() >= 3; }, 60'000));
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(notifications.received.begin(), notifications.received.end(),
                           [&](const auto& n) { return n.summary == several; });
    }));
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    std::vector<FakeNotifications::Notification> found;
    for (const auto& n : notifications.received) {
        if (n.summary == single || n.summary == several) found.push_back(n);
    }
    ASSERT_GE(found.size(), 2u);
    EXPECT_EQ(found[0].replacesId, 0u);
    for (std::size_t i = 1; i < found.size(); ++i) EXPECT_EQ(found[i].replacesId, found[0].id);
    EXPECT_LT(found.size(), std::size_t(m.blocksFoundValue().size()));
}

// A block held over a node restart is resubmitted after a newer one was found: its verdict lands
// on it alone, its reward counts at its own height and once, and a verdict on a block the list no
// longer holds changes nothing shown.
TEST_F(SessionNodeTest, AHeldBlocksVerdictLandsOnItAloneAndItsRewardOnce) {
    useScriptedMiner();
    auto& m = makeModel(BitcoinNetwork::regtest,
                        "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85");
    const auto completed = [&] {
        return m.earningsScanStateValue().value<EarningsScanStateView>().kind == "completed";
    };
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining)) << logMessages(m).join("\n").toStdString();
    ASSERT_TRUE(waitUntil(completed)) << logMessages(m).join("\n").toStdString();
    const auto shown = [&] {
        const auto& earnings = m.earnings();
        return earnings ? earningsTotalSats(earnings->matureSats, earnings->immatureSats) : 0;
    };
    const std::int64_t before = shown();
    const std::int64_t tip = m.earnings()->scannedAtHeight;
    const std::vector<std::uint8_t> held(32, 0xa1), newer(32, 0xb2), gone(32, 0xc3);
    const auto verdicts = [&] {
        std::vector<std::optional<bool>> accepted;
        for (const auto& block : m.blocksFoundValue()) {
            accepted.push_back(block.value<FoundBlockRecord>().isAccepted);
        }
        return accepted;
    };
    const SubmissionResult accepted{SubmissionResult::Accepted{}};
    const auto miner = runningMiner();
    ASSERT_TRUE(miner);
    ASSERT_TRUE(miner->send(BlockFound{tip + 1, held, 700}));
    ASSERT_TRUE(miner->send(BlockFound{tip + 2, newer, 90'000}));
    ASSERT_TRUE(miner->send(SubmissionResultEvent{tip + 1, held, accepted}));
    ASSERT_TRUE(waitUntil([&] { return shown() == before + 700; })) << shown() - before;
    EXPECT_EQ(verdicts(), (std::vector<std::optional<bool>>{true, std::nullopt}));

    // Told again, and a block the list does not hold: neither moves anything.
    ASSERT_TRUE(miner->send(SubmissionResultEvent{tip + 1, held, accepted}));
    ASSERT_TRUE(miner->send(SubmissionResultEvent{tip + 5, gone, accepted}));
    ASSERT_TRUE(miner->send(SubmissionResultEvent{
        tip + 2, newer, SubmissionResult{SubmissionResult::Rejected{"bad-cb-amount"}}}));
    ASSERT_TRUE(waitUntil([&] { return verdicts().back() == false; }));
    EXPECT_EQ(verdicts().front(), true);
    EXPECT_EQ(shown(), before + 700);
    const auto lines = logMessages(m);
    EXPECT_EQ(
        lines.count(QStringLiteral("Submission \u2014 ACCEPTED \u2014 height %1").arg(tip + 5)), 1);
    EXPECT_EQ(
        lines.count(QStringLiteral("Submission \u2014 REJECTED \u2014 height %1: bad-cb-amount")
                        .arg(tip + 2)),
        1);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

// A verdict on a block the list no longer holds (trimmed, or held over a restart) changes nothing
// shown, and its reward reaches the earnings through a scan of the address.
TEST_F(SessionNodeTest, AnAcceptedBlockTheListNoLongerHoldsAsksForAScan) {
    auto& timings = harness.environment.session.timings;
    timings.earningsInterval = 1h;
    timings.earningsRescanDelay = 50ms;
    timings.earningsCalmPeriod = 50ms;
    timings.earningsScanSpacing = 50ms;
    useScriptedMiner();
    auto& m = makeModel(BitcoinNetwork::regtest,
                        "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85");
    m.start();
    const auto scans = [&] { return logMessages(m).filter("Earnings scan started").size(); };
    ASSERT_TRUE(waitUntil([&] {
        return m.earningsScanStateValue().value<EarningsScanStateView>().kind == "completed";
    })) << logMessages(m).join("\n").toStdString();
    ASSERT_EQ(scans(), 1);
    const auto miner = runningMiner();
    ASSERT_TRUE(miner);
    const std::vector<std::uint8_t> gone(32, 0xc3);
    ASSERT_TRUE(miner->send(
        SubmissionResultEvent{7, gone, SubmissionResult{SubmissionResult::Accepted{}}}));
    EXPECT_TRUE(waitUntil([&] { return scans() == 2; })) << logMessages(m).join("\n").toStdString();
    EXPECT_TRUE(m.blocksFoundValue().isEmpty());
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

TEST_F(SessionNodeTest, AThousandFoundBlocksMoveTheEarningsWithAHandfulOfScans) {
    using Clock = std::chrono::steady_clock;
    constexpr int blocks = 1'000;
    constexpr std::int64_t reward = 5'000'000'000;
    auto& timings = harness.environment.session.timings;
    timings.earningsInterval = 1h;
    timings.earningsRescanDelay = 50ms;
    timings.earningsCalmPeriod = 1s;
    timings.earningsScanSpacing = 2s;
    useScriptedMiner();
    auto& m = makeModel(BitcoinNetwork::regtest,
                        "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85");
    const auto scanState = [&] {
        return m.earningsScanStateValue().value<EarningsScanStateView>().kind;
    };
    int scans = 0;
    QObject::connect(&m, &MiningSessionModel::earningsScanStateChanged, &m, [&] {
        if (scanState() == "scanning") ++scans;
    });
    const auto completed = [&] { return scanState() == "completed"; };
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining)) << logMessages(m).join("\n").toStdString();
    ASSERT_TRUE(waitUntil(completed)) << logMessages(m).join("\n").toStdString();
    ASSERT_TRUE(m.earnings().has_value());
    const std::int64_t before =
        earningsTotalSats(m.earnings()->matureSats, m.earnings()->immatureSats);
    const std::int64_t tip = m.earnings()->scannedAtHeight;
    const std::int64_t immatureBefore = m.earnings()->immatureOutputCount;

    // Blocks come as mining brings them: a steady stream, each announced then accepted, from the
    // moment the loop's run takes events (a block sent before would be lost).
    const auto miner = runningMiner();
    ASSERT_TRUE(miner);
    std::atomic<int> unsent = 0;
    const auto from = Clock::now();
    std::thread finder([&] {
        for (int i = 1; i <= blocks; ++i) {
            const std::vector<std::uint8_t> hash(32, std::uint8_t(i));
            if (!miner->send(BlockFound{tip + i, hash, reward})) ++unsent;
            if (!miner->send(SubmissionResultEvent{
                    tip + i, hash, SubmissionResult{SubmissionResult::Accepted{}}})) {
                ++unsent;
            }
            std::this_thread::sleep_for(2ms);
        }
    });
    const auto shown = [&] {
        const auto& earnings = m.earnings();
        return earnings ? earningsTotalSats(earnings->matureSats, earnings->immatureSats) : 0;
    };
    // Each block shows at once, long before any scan could confirm it.
    EXPECT_TRUE(waitUntil([&] { return shown() > before; }));
    const bool allShown = waitUntil([&] { return shown() == before + blocks * reward; }, 120'000);
    finder.join();
    ASSERT_EQ(unsent, 0) << "events the loop never took";
    ASSERT_TRUE(allShown) << shown();
    const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
    // Once the stream has stopped, one scan confirms the figure, which it leaves as it was: the
    // blocks are not on the node's chain, so they all stand above the scan's height.
    ASSERT_TRUE(waitUntil([&] { return scans >= 2 && completed(); }));
    EXPECT_EQ(shown(), before + blocks * reward);
    // The node's tip never reached them: every one of them is still immature.
    EXPECT_EQ(m.earnings()->immatureOutputCount, immatureBefore + blocks);
    // The scans: the one at the start, then at most one per spacing while blocks kept coming
    // with a pause long enough to look calm, and the confirmation: a handful, not one a block.
    const int bound =
        2 + int(seconds / std::chrono::duration<double>(timings.earningsScanSpacing).count());
    EXPECT_LE(scans, bound) << seconds << " s";
    EXPECT_LE(scans, 6) << seconds << " s";
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

}  // namespace
}  // namespace corvanta::testing

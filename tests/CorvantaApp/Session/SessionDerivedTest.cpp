// The values the views derive from the session model's state, and when they are announced.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include <filesystem>
#include <limits>

#include "Session/SessionRules.h"
#include "SessionHarness.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;
using Kind = MiningSessionModel::RunStateKind;
using Link = MiningSessionModel::RPCLinkState;

ChainStatus syncedStatus() {
    ChainStatus status;
    status.chain = "main";
    status.blocks = status.headers = 900'000;
    status.initialBlockDownload = false;
    return status;
}

TEST(SessionRules, AppliedPowerModeAndThrottlingAtTheirEdges) {
    constexpr int kMaxInt = std::numeric_limits<int>::max();
    const struct {
        std::optional<int> count;
        int maxWorkers;
        std::optional<PowerMode> applied;
    } modes[] = {
        {std::nullopt, 8, std::nullopt},
        {5, 4, PowerMode::max},
        {6, 9, PowerMode::balanced},
        {5, 9, PowerMode::eco},
        {0, 0, PowerMode::eco},
        {1, 0, PowerMode::max},
        {0, 1, PowerMode::eco},
        {1, 1, PowerMode::max},
        {9, 9, PowerMode::max},
        {8, 9, PowerMode::balanced},
        {-4, 0, PowerMode::eco},
        // Two thirds of the largest count, without overflowing on the way.
        {0, kMaxInt, PowerMode::eco},
        {1431655763, kMaxInt, PowerMode::eco},
        {1431655764, kMaxInt, PowerMode::balanced},
    };
    for (const auto& row : modes) {
        EXPECT_EQ(appliedPowerMode(row.count, row.maxWorkers), row.applied)
            << row.count.value_or(-99) << " of " << row.maxWorkers;
    }

    const struct {
        PowerMode requested;
        std::optional<int> effective;
        int cores;
        bool throttled;
    } throttling[] = {
        {PowerMode::balanced, 7, 10, false},  // 7 of 10 is balanced: 6 workers, as requested
        {PowerMode::balanced, 5, 10, true},   // 5 of 10 is eco: 3 workers
        {PowerMode::balanced, std::nullopt, 10, false},
        {PowerMode::max, 9, 10, true},
        {PowerMode::max, 10, 10, false},
        {PowerMode::eco, 1, 10, false},
        {PowerMode::eco, 1, 2, false},  // eco and balanced both run 1 worker on 2 cores
        {PowerMode::balanced, 1, 2, false},
        {PowerMode::max, 1, 2, true},
        {PowerMode::balanced, 1431655764, kMaxInt, false},
        {PowerMode::balanced, 1431655763, kMaxInt, true},
    };
    for (const auto& row : throttling) {
        EXPECT_EQ(isThrottledBelow(row.requested, row.effective, row.cores), row.throttled)
            << rawValue(row.requested) << " " << row.effective.value_or(-1) << "/" << row.cores;
    }
}

TEST(SessionRules, WorkLoadStatisticsTakeTheirPercentileFromTheSortedLatencies) {
    std::vector<double> twenty;
    for (int i = 20; i >= 1; --i) twenty.push_back(i);
    const struct {
        std::vector<double> latencies;
        std::optional<WorkLoadStatistics> expected;
    } rows[] = {
        {{}, std::nullopt},
        {{7}, WorkLoadStatistics{7, 7, 7}},
        {{10, 30, 20}, WorkLoadStatistics{20, 30, 30}},
        {twenty, WorkLoadStatistics{10.5, 20, 20}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 100},
         WorkLoadStatistics{310.0 / 21, 20, 100}},  // floor(21 × 0.95) = 19
    };
    for (const auto& row : rows) {
        const auto statistics = workLoadStatistics(row.latencies);
        ASSERT_EQ(statistics.has_value(), row.expected.has_value());
        if (!statistics) continue;
        EXPECT_DOUBLE_EQ(statistics->average, row.expected->average);
        EXPECT_EQ(statistics->p95, row.expected->p95);
        EXPECT_EQ(statistics->maximum, row.expected->maximum);
    }
}

TEST(SessionRules, AHeaderTimeTheClockCannotHoldIsAMalformedReply) {
    const auto header = [](const std::string& time) {
        return json::Value::parse(R"({"hash": "00", "time": )" + time + "}");
    };
    EXPECT_EQ(blockHeaderTime(header("1700000000")),
              SessionTime(std::chrono::seconds(1'700'000'000)));
    for (const char* time : {"10000000000000", "-10000000000000", "9223372036854775807",
                             "-9223372036854775808", "1.5", "\"1\""}) {
        EXPECT_THROW(blockHeaderTime(header(time)), json::DecodeError) << time;
    }
    // The clock's own last whole second still reads.
    EXPECT_NO_THROW(blockHeaderTime(header("9223372036")));
}

TEST(SessionDerived, ChainFreshnessEndsAtExactlyFifteenSeconds) {
    SessionHarness harness;
    const auto model = harness.make();
    EXPECT_EQ(model->rpcLinkState(), Link::disconnected);
    EXPECT_FALSE(model->freshChainStatus());

    model->setChainStatus(syncedStatus());
    EXPECT_EQ(model->rpcLinkState(), Link::unresponsive);  // a status without a refresh time
    const auto refreshed = harness.wall();
    model->setChainStatusUpdatedAt(refreshed);
    const struct {
        std::chrono::milliseconds age;
        Link link;
    } rows[] = {{0ms, Link::connected},
                {14'999ms, Link::connected},
                {15'000ms, Link::unresponsive},
                {60'000ms, Link::unresponsive}};
    for (const auto& row : rows) {
        harness.wallMs->store(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  (refreshed + row.age).time_since_epoch())
                                  .count());
        EXPECT_EQ(model->rpcLinkState(), row.link) << row.age.count();
        EXPECT_EQ(model->freshChainStatus().has_value(), row.link == Link::connected);
    }
}

TEST(SessionDerived, ConfirmedTipNeedsACurrentChainAndNeverLiesInTheFuture) {
    SessionHarness harness;
    const auto model = harness.make();
    const auto now = harness.wall();
    auto lagging = syncedStatus();
    lagging.headers += 1;
    auto downloading = syncedStatus();
    downloading.initialBlockDownload = true;
    const struct {
        ChainStatus status;
        std::optional<int> peers;
        std::optional<SessionTime> observed;
        std::optional<SessionTime> header;
        std::optional<SessionTime> expected;
    } rows[] = {
        {syncedStatus(), 8, std::nullopt, now + 5min, now},  // a header time from the future
        {syncedStatus(), 8, std::nullopt, now - 90s, now - 90s},
        {syncedStatus(), 8, now - 10s, now - 90s, now - 10s},
        {syncedStatus(), 8, std::nullopt, std::nullopt, std::nullopt},
        {syncedStatus(), 0, now - 10s, now - 90s, std::nullopt},
        {syncedStatus(), std::nullopt, now - 10s, now - 90s, std::nullopt},
        {lagging, 8, now - 10s, now - 90s, std::nullopt},
        {downloading, 8, now - 10s, now - 90s, std::nullopt},
    };
    for (const auto& row : rows) {
        model->setChainStatus(row.status);
        model->setChainStatusUpdatedAt(now);
        model->setPeerCount(row.peers);
        model->setNetworkTipObservedAt(row.observed);
        model->setNetworkTipTimestamp(row.header);
        EXPECT_EQ(model->confirmedNetworkTipTimestamp(), row.expected);
    }
    // Stale status: nothing is confirmed.
    model->setNetworkTipObservedAt(now);
    harness.advance(15s);
    EXPECT_EQ(model->confirmedNetworkTipTimestamp(), std::nullopt);
}

TEST(SessionDerived, OnRegtestTheTipIsCurrentWithoutPeersOrTheDownloadFlag) {
    SessionHarness harness;
    const auto model = harness.make();
    const auto now = harness.wall();
    auto regtest = syncedStatus();
    regtest.initialBlockDownload = true;  // a fresh regtest node never leaves it
    model->setChainStatus(regtest);
    model->setChainStatusUpdatedAt(now);
    model->setPeerCount(0);
    model->setNetworkTipObservedAt(now - 10s);
    for (const auto network : {BitcoinNetwork::mainnet, BitcoinNetwork::testnet4,
                               BitcoinNetwork::signet, BitcoinNetwork::regtest}) {
        model->setActiveNetwork(network);
        const bool current = network == BitcoinNetwork::regtest;
        EXPECT_EQ(model->networkTipIsCurrent(), current) << rawValue(network);
        EXPECT_EQ(model->confirmedNetworkTipTimestamp(),
                  current ? std::optional(now - 10s) : std::nullopt);
    }
    // Regtest still needs a fresh status with every header's block.
    regtest.headers += 1;
    model->setChainStatus(regtest);
    EXPECT_FALSE(model->networkTipIsCurrent());
}

TEST(SessionDerived, TheTimeWithoutPeersCountsFromTheFirstReportOfNone) {
    SessionHarness harness;
    const auto model = harness.make();
    EXPECT_FALSE(model->noPeersSinceValue().isValid());
    model->setPeerCount(0);
    const QVariant since = model->noPeersSinceValue();
    ASSERT_TRUE(since.isValid());
    harness.advance(20s);
    model->setPeerCount(0);
    EXPECT_EQ(model->noPeersSinceValue(), since);
    model->setPeerCount(1);
    EXPECT_FALSE(model->noPeersSinceValue().isValid());
    model->setPeerCount(0);
    EXPECT_NE(model->noPeersSinceValue(), since);
    model->setPeerCount(std::nullopt);  // the session ended
    EXPECT_FALSE(model->noPeersSinceValue().isValid());
}

TEST(SessionDerived, TheDiskFullAlertStaysUntilItsFolderHasRoomAgain) {
    SessionHarness harness;
    const auto model = harness.make();
    QSignalSpy changes(model.get(), &MiningSessionModel::diskFullAlertChanged);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A folder whose room cannot be measured keeps the alert: nothing says the blocks can be saved.
    const auto gone = std::filesystem::path(folder.path().toStdString()) / "gone";
    model->setDiskFullAlert(gone, QStringLiteral("plein"));
    EXPECT_EQ(model->diskFullAlert(), "plein");
    model->clearDiskFullAlertIfRoom();
    EXPECT_EQ(model->diskFullAlert(), "plein");
    // The same alert raised again is no change to announce.
    model->setDiskFullAlert(gone, QStringLiteral("plein"));
    EXPECT_EQ(changes.count(), 1);
    model->setDiskFullAlert(std::filesystem::path(folder.path().toStdString()),
                            QStringLiteral("plein"));
    model->clearDiskFullAlertIfRoom();
    EXPECT_TRUE(model->diskFullAlert().isEmpty());
    EXPECT_EQ(changes.count(), 2);
}

TEST(SessionDerived, PayoutSessionAndResultValues) {
    SessionHarness harness;
    const auto model = harness.make();
    const QString address = "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4";

    EXPECT_TRUE(model->payoutNeedsAttention());  // nothing typed on mainnet
    model->setPayoutAddressInput("  " + address + "\n");
    EXPECT_FALSE(model->payoutNeedsAttention());
    model->setSelectedNetwork(BitcoinNetwork::regtest);
    EXPECT_TRUE(model->payoutNeedsAttention());  // empty on regtest pays anyone-can-spend
    model->setSelectedNetwork(BitcoinNetwork::mainnet);

    // The divergence speaks only while a session runs.
    model->setActivePayout(PayoutResolution{{}, "bc1qother", false});
    EXPECT_EQ(model->payoutDivergence(), std::nullopt);
    model->setRunState(runState(Kind::syncing));
    EXPECT_EQ(model->payoutDivergence(), "bc1qother");
    model->setActivePayout(PayoutResolution{{}, address, false});
    EXPECT_EQ(model->payoutDivergence(), std::nullopt);
    model->setRunState(MiningSessionModel::RunState::failed("no"));
    model->setActivePayout(PayoutResolution{{}, "bc1qother", false});
    EXPECT_EQ(model->payoutDivergence(), std::nullopt);
    EXPECT_FALSE(model->isHashing());

    EarningsSnapshot earnings{address.toStdString(), 100, 5, 7, 1, 1};
    model->setEarnings(earnings);
    EXPECT_TRUE(model->scanCoversConfiguredAddress());
    earnings.address = "bc1qsomeoneelse";
    model->setEarnings(earnings);
    EXPECT_FALSE(model->scanCoversConfiguredAddress());

    const struct {
        std::optional<double> allTime, network, share;
    } shares[] = {{0, 1e12, std::nullopt},
                  {-1, 1e12, std::nullopt},
                  {std::nullopt, 5, std::nullopt},
                  {2e6, 0, std::nullopt},
                  {2e6, 1e12, 5e5}};
    for (const auto& row : shares) {
        model->setBestDifficultyAllTime(row.allTime);
        model->setBestDifficultyNetwork(row.network);
        EXPECT_EQ(model->bestAttemptShareOfNetwork(), row.share);
    }

    model->setTemplateHeight(901);
    model->setCandidateValidation(
        CandidateValidation{CandidateValidation::Kind::validated, 900, 12, {}});
    EXPECT_EQ(model->currentCandidateValidation(), std::nullopt);
    model->setTemplateHeight(900);
    EXPECT_EQ(
        model->currentCandidateValidationValue().value<CandidateValidation>().transactionCount, 12);
}

TEST(SessionDerived, SignalsFireOnlyForADifferentValue) {
    SessionHarness harness;
    const auto model = harness.make();
    ASSERT_TRUE(waitUntil([&] { return model->cpuUsage().has_value(); }));  // ticks are running

    QSignalSpy peers(model.get(), &MiningSessionModel::peerCountChanged);
    QSignalSpy rate(model.get(), &MiningSessionModel::currentHashRateMHsChanged);
    QSignalSpy status(model.get(), &MiningSessionModel::chainStatusChanged);
    QSignalSpy link(model.get(), &MiningSessionModel::rpcLinkStateChanged);
    QSignalSpy fresh(model.get(), &MiningSessionModel::freshChainStatusChanged);
    QSignalSpy hashing(model.get(), &MiningSessionModel::isHashingChanged);
    QSignalSpy paused(model.get(), &MiningSessionModel::manuallyPausedChanged);

    for (int i = 0; i < 2; ++i) {
        model->setPeerCount(3);
        model->setCurrentHashRateMHs(std::nan(""));
        model->setChainStatusUpdatedAt(harness.wall());
        model->setChainStatus(syncedStatus());
        model->setManuallyPaused(true);
        model->setRunState(runState(Kind::mining));
    }
    EXPECT_EQ(peers.count(), 1);
    EXPECT_EQ(rate.count(), 1);
    EXPECT_EQ(status.count(), 1);
    EXPECT_EQ(paused.count(), 1);
    EXPECT_EQ(hashing.count(), 0);  // paused before the session ran: never hashing
    EXPECT_EQ(link.count(), 1);     // disconnected, then connected
    EXPECT_EQ(fresh.count(), 1);

    // Ticks of a still clock announce nothing; the tick after the fifteenth second does.
    settle(60);
    EXPECT_EQ(link.count(), 1);
    harness.advance(14s);
    settle(60);
    EXPECT_EQ(link.count(), 1);
    harness.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return link.count() == 2; }));
    settle(60);
    EXPECT_EQ(link.count(), 2);
    EXPECT_EQ(fresh.count(), 2);
    EXPECT_EQ(model->rpcLinkState(), Link::unresponsive);
}

TEST(SessionDerived, TheThousandAndFirstLogLineLeavesTheNewestFiveHundred) {
    SessionHarness harness;
    const auto model = harness.make();
    settle(50);
    const int before = model->eventLog()->count();  // launch lines, if any
    EventLogModel& log = *model->eventLog();
    QSignalSpy removed(&log, &QAbstractItemModel::rowsRemoved);
    for (int i = before; i < 1000; ++i) model->appendLog(QString::number(i));
    EXPECT_EQ(log.count(), 1000);
    EXPECT_EQ(removed.count(), 0);

    model->appendLog("1000");
    ASSERT_EQ(log.count(), 500);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 500);
    const QStringList messages = logMessages(*model);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(messages.at(i), QString::number(501 + i));
    EXPECT_EQ(log.data(log.index(499), EventLogModel::MessageRole).toString(), "1000");

    for (int i = 0; i < 500; ++i) model->appendLog("more");
    EXPECT_EQ(log.count(), 1000);
    EXPECT_EQ(removed.count(), 1);
}

}  // namespace
}  // namespace corvanta::testing

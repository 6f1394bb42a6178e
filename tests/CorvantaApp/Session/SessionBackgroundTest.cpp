// What the model does on its own from launch: the first loads, the self-test, the widgets'
// snapshot, proof entries and the lifetime hash count.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>

#include "FakeServices.h"
#include "Localization/Localization.h"
#include "SessionHarness.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/shared/SharedContainer.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;
using Kind = MiningSessionModel::RunStateKind;
const QString setAsideLine = "Proof ledger set aside as ";

std::string blockHash(int height) {
    std::string hash(64, '0');
    const auto digits = std::to_string(height);
    hash.replace(hash.size() - digits.size(), digits.size(), digits);
    return hash;
}

void writeLedger(const std::filesystem::path& file, int entries) {
    ProofOfMining ledger(file);
    for (int i = 1; i <= entries; ++i) {
        ledger.append(800'000 + i, blockHash(i), std::uint64_t(i) * 1000, std::nullopt,
                      std::chrono::system_clock::now());
    }
}

// A ledger that cannot be read whole is set aside at launch and said once, with where it lies;
// the sheet never shows what replaced it as the whole ledger.
TEST(SessionLaunch, TheSelectedNetworksLedgerIsLoadedAndAnUnreadableOneIsReportedOnce) {
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> prepare;
        bool unreadable;
        int entries;
        std::int64_t firstRecentIndex;
    } rows[] = {
        {"missing", [](const auto&) {}, false, 0, -1},
        {"garbage", [](const auto& file) { writeText(file, "{ not a ledger"); }, true, 0, -1},
        {"cut short", [](const auto& file) { writeText(file, "[{\"bestDigest\":"); }, true, 0, -1},
        {"twelve", [](const auto& file) { writeLedger(file, 12); }, false, 12, 0},
        {"thirteen", [](const auto& file) { writeLedger(file, 13); }, false, 13, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SessionHarness harness;
        std::filesystem::create_directories(harness.proofFile().parent_path());
        row.prepare(harness.proofFile());
        // Another network's ledger is not the one shown.
        std::filesystem::create_directories(
            harness.proofFile(BitcoinNetwork::signet).parent_path());
        writeText(harness.proofFile(BitcoinNetwork::signet), "garbage");
        const auto model = harness.make();
        QSignalSpy verified(model.get(), &MiningSessionModel::proofVerificationChanged);
        ASSERT_TRUE(waitUntil([&] { return verified.count() == 1; }));
        settle(30);
        EXPECT_EQ(model->proofLogUnreadable(), row.unreadable);
        EXPECT_EQ(logMessages(*model).filter(setAsideLine).size(), row.unreadable ? 1 : 0);
        const auto aside = model->proofLogSetAside();
        EXPECT_EQ(aside.isEmpty(), !row.unreadable);
        if (row.unreadable) {
            EXPECT_NE(aside.toStdString(), harness.proofFile().string());
            EXPECT_TRUE(std::filesystem::is_regular_file(aside.toStdString()));
            EXPECT_EQ(logMessages(*model).filter(aside).size(), 1);
            EXPECT_EQ(logMessages(*model).filter("corvanta-verify").size(), 1);
        }
        EXPECT_EQ(model->proofEntryCount(), row.entries);
        const auto& recent = model->recentProofEntries();
        EXPECT_EQ(recent.size(), std::size_t(std::min(row.entries, 12)));
        if (!recent.empty()) {
            EXPECT_EQ(recent.front().index, row.firstRecentIndex);
            EXPECT_EQ(recent.back().index, row.entries - 1);
        }
        const auto verification = model->proofVerificationValue().value<ProofVerificationView>();
        EXPECT_EQ(verification.entriesChecked, row.entries);
        EXPECT_TRUE(verification.isIntact);
    }
}

TEST(SessionLaunch, TheFoundBlockHistoryLoadsItsBlocksAndAcceptedTotal) {
    SessionHarness harness;
    {
        MiningHistoryStore store(harness.historyFile());
        const SubmissionResult accepted{SubmissionResult::Accepted{}};
        const SubmissionResult rejected{SubmissionResult::Rejected{"bad-txnmrklroot"}};
        store.recordSubmission(100, std::vector<std::uint8_t>(32, 1),
                               std::vector<std::uint8_t>(32, 2), 312'500'000, accepted,
                               std::chrono::system_clock::now());
        store.recordSubmission(101, std::vector<std::uint8_t>(32, 3),
                               std::vector<std::uint8_t>(32, 4), 312'500'000, rejected,
                               std::chrono::system_clock::now());
        store.recordSubmission(102, std::vector<std::uint8_t>(32, 5),
                               std::vector<std::uint8_t>(32, 6), 312'400'000, accepted,
                               std::chrono::system_clock::now());
    }
    const auto model = harness.make();
    ASSERT_TRUE(waitUntil([&] { return model->persistedHistory().size() == 3; }));
    EXPECT_EQ(model->persistedHistoryTotalSats(), 624'900'000);
    const auto first = model->persistedHistoryValue().at(0).value<FoundBlockView>();
    EXPECT_EQ(first.height, 100);
    EXPECT_EQ(first.status, "pending");
}

// What stands in the history's place at launch and is no history is set aside by the first
// store to open it, the one the model loads to show, and said once in the event log.
TEST(SessionLaunch, AHistoryThatIsNoFileIsSetAsideAtLaunchAndSaidOnce) {
    SessionHarness harness;
    std::filesystem::create_directories(harness.historyFile().parent_path());
    ASSERT_EQ(::mkfifo(harness.historyFile().c_str(), 0600), 0);
    const auto model = harness.make();
    const auto said = [&] {
        return logMessages(*model).filter(
            QStringLiteral("is not a regular file: it was set aside"));
    };
    ASSERT_TRUE(waitUntil([&] { return !said().isEmpty(); }));
    settle(30);
    EXPECT_EQ(said().size(), 1);
    EXPECT_TRUE(said().front().contains(QString::fromStdString(harness.historyFile().string())));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(harness.historyFile())));
    EXPECT_TRUE(model->persistedHistory().empty());
}

TEST(SessionLaunch, AFailingSelfTestIsLoggedAndNotifiedWithoutASession) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus.connect()));
    SessionHarness harness;
    std::atomic<int> runs = 0;
    harness.environment.selfTest = [&runs] {
        ++runs;
        return EngineSelfTest::Verdict(EngineSelfTest::Failed{"nonce 42 au lieu de 7"});
    };
    harness.environment.timings.selfTestInterval = 50ms;
    const auto model = harness.make(bus.connect());

    ASSERT_TRUE(waitUntil([&] { return server.received.size() >= 2; }));
    const auto& posted = server.received.front();
    EXPECT_EQ(posted.summary, Localization::shared().string("Erreur critique \u2014 Corvanta"));
    EXPECT_TRUE(posted.body.contains("nonce 42 au lieu de 7")) << posted.body.toStdString();
    // The same identifier: the second failure replaces the first on screen.
    EXPECT_EQ(server.received.at(1).replacesId, posted.id);
    EXPECT_GE(logMessages(*model).count("ENGINE SELF-TEST FAILED \u2014 nonce 42 au lieu de 7"), 2);
    const auto verdict = model->selfTestVerdictValue().value<SelfTestVerdictView>();
    EXPECT_FALSE(verdict.passed);
    EXPECT_TRUE(model->selfTestCheckedAtValue().isValid());
    EXPECT_EQ(model->runStateKind(), Kind::idle);

    // A passing test says nothing.
    SessionHarness quiet;
    const auto healthy = quiet.make(bus.connect());
    ASSERT_TRUE(waitUntil([&] { return healthy->selfTestVerdict().has_value(); }));
    settle(100);
    EXPECT_TRUE(healthy->selfTestVerdictValue().value<SelfTestVerdictView>().passed);
    EXPECT_TRUE(logMessages(*healthy).filter("SELF-TEST").isEmpty());
}

TEST(SessionWidgets, SnapshotIsWrittenEverySecondAndTheWidgetsReloadOnlyAfterAKeyChangeIsWritten) {
    SessionHarness harness;
    harness.environment.performanceCoreCount = 9;
    const auto model = harness.make();
    std::vector<MinerSnapshot> seenAtReload;
    model->setWidgetReloadHook([&] {
        const auto written = SharedContainer::read(harness.container());
        ASSERT_TRUE(written.has_value());
        seenAtReload.push_back(*written);
    });
    const auto current = [&] { return SharedContainer::read(harness.container()); };
    // Each step changes one thing; a reload follows each change of what the widgets show.
    const struct {
        const char* name;
        std::function<void()> change;
        std::function<bool(const MinerSnapshot&)> shows;
        bool reloads;
    } steps[] = {
        {"launch", [] {}, [](const auto& s) { return !s.isRunning && s.blocksFound == 0; }, true},
        {"hash rate", [&] { model->setCurrentHashRateMHs(12.5); },
         [](const auto& s) { return s.hashRateMHs == 12.5; }, false},
        {"running", [&] { model->setRunState(runState(Kind::startingNode)); },
         [](const auto& s) { return s.isRunning; }, true},
        {"paused", [&] { model->setGovernorPaused(true); },
         [](const auto& s) { return s.isPaused; }, true},
        {"mode", [&] { model->setEffectiveWorkerCount(6); },
         [](const auto& s) { return s.appliedMode == "balanced"; }, true},
        {"same mode", [&] { model->setEffectiveWorkerCount(7); },
         [](const auto& s) { return s.appliedMode == "balanced"; }, false},
        {"block", [&] { model->setPersistedHistory({FoundBlock{}}, 1); },
         [](const auto& s) { return s.blocksFound == 1; }, true},
        {"failed", [&] { model->setRunState(MiningSessionModel::RunState::failed("x")); },
         [](const auto& s) { return !s.isRunning; }, true},
    };
    std::size_t reloads = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        ASSERT_TRUE(waitUntil([&] { return current() && step.shows(*current()); }));
        if (step.reloads) ++reloads;
        // The reload follows the write that shows the change, however late on a loaded machine.
        ASSERT_TRUE(waitUntil([&] { return seenAtReload.size() >= reloads; }, 30'000));
        settle(50);  // several more seconds' worth of snapshots, and no reload among them
        ASSERT_EQ(seenAtReload.size(), reloads);
        if (step.reloads) {
            EXPECT_TRUE(step.shows(seenAtReload.back()));
        }
    }

    // Snapshots keep coming, stamped with the model's clock.
    harness.advance(5s);
    ASSERT_TRUE(waitUntil(
        [&] { return current() && current()->capturedAt == ReferenceDate::from(harness.wall()); }));
}

TEST(SessionWidgets, TheWidgetsAreToldAtOnceThatAQuitStopsTheMinerAndTheLastSnapshotSaysStopped) {
    SessionHarness harness;
    const auto current = [&] { return SharedContainer::read(harness.container()); };
    // Two blocks in the history: the launch's load of it agrees with the counts shown.
    for (const std::uint8_t block : {1, 2}) {
        MiningHistoryStore(harness.historyFile())
            .recordSubmission(100 + block, std::vector<std::uint8_t>(32, block),
                              std::vector<std::uint8_t>(32, 9), 625'000'000,
                              SubmissionResult{SubmissionResult::Accepted{}},
                              std::chrono::system_clock::now());
    }
    const auto mining = [&](MiningSessionModel& model) {
        model.setRunState(runState(Kind::mining));
        model.setCurrentHashRateMHs(12.5);
        ASSERT_TRUE(waitUntil(
            [&] { return current() && current()->isRunning && current()->blocksFound == 2; }));
    };
    {
        auto model = harness.make();
        mining(*model);
        // What a reader needs to tell a writer that has gone, and the language it shows.
        const auto live = *current();
        EXPECT_EQ(live.writerProcessID, std::int64_t(::getpid()));
        EXPECT_EQ(
            live.updateIntervalSeconds,
            std::chrono::duration<double>(harness.environment.timings.cpuUsageInterval).count());
        EXPECT_EQ(live.language, code(Localization::shared().language()).toStdString());

        // A quit: the node may take its time, the widgets say stopped from the next second.
        QSignalSpy ready(model.get(), &MiningSessionModel::terminationReady);
        model->shutdownForTermination();
        ASSERT_TRUE(waitUntil([&] { return current() && !current()->isRunning; }));
        EXPECT_EQ(current()->blocksFound, 2);
        ASSERT_TRUE(waitUntil([&] { return ready.size() == 1; }));
    }
    {
        // An end without a quit (the model goes with the process): its last act says stopped.
        auto model = harness.make();
        mining(*model);
        model.reset();
        const auto last = current();
        ASSERT_TRUE(last.has_value());
        EXPECT_FALSE(last->isRunning);
        EXPECT_FALSE(last->isPaused);
        EXPECT_EQ(last->hashRateMHs, 0);
        EXPECT_EQ(last->blocksFound, 2) << "with the final counts";
        EXPECT_EQ(last->totalSats, 1'250'000'000);
    }
}

void recordBlocks(MiningHistoryStore& history, int from, int count) {
    for (int height = from; height < from + count; ++height) {
        history.recordSubmission(height, std::vector<std::uint8_t>(32, std::uint8_t(height)),
                                 std::vector<std::uint8_t>(32, 9), 625'000'000,
                                 SubmissionResult{SubmissionResult::Accepted{}},
                                 std::chrono::system_clock::now());
    }
}

TEST(SessionWidgets, NoSnapshotOfALaunchSaysLessThanTheHistoryHoldsFromTheFirstToTheLast) {
    SessionHarness harness;
    {
        MiningHistoryStore history(harness.historyFile());
        recordBlocks(history, 100, 3);
    }
    {
        // The first snapshot written is the first the widgets are told of.
        const auto model = harness.make();
        std::vector<MinerSnapshot> seenAtReload;
        model->setWidgetReloadHook([&] {
            if (const auto written = SharedContainer::read(harness.container())) {
                seenAtReload.push_back(*written);
            }
        });
        ASSERT_TRUE(waitUntil([&] { return !seenAtReload.empty(); }));
        EXPECT_EQ(seenAtReload.front().blocksFound, 3);
        EXPECT_EQ(seenAtReload.front().totalSats, 3 * std::int64_t{625'000'000});
    }
    {
        // A quit before the history's reading reached the model: the last snapshot still counts
        // what the history holds.
        harness.make().reset();
        const auto last = SharedContainer::read(harness.container());
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(last->blocksFound, 3);
        EXPECT_EQ(last->totalSats, 3 * std::int64_t{625'000'000});
    }
}

TEST(SessionWidgets, EachSnapshotCountsWhatTheSessionsHistoryHoldsBeforeTheModelHearsOfIt) {
    SessionHarness harness;
    const auto history = std::make_shared<MiningHistoryStore>(harness.historyFile());
    recordBlocks(*history, 100, 2);
    const auto current = [&] { return SharedContainer::read(harness.container()); };
    auto model = harness.make();
    ASSERT_TRUE(waitUntil([&] { return model->persistedHistoryCount() == 2; }));
    model->useHistoryStore(history);
    model->setRunState(runState(Kind::mining));
    // Stored by the session, not yet read again for the model (it reads on the loop's event).
    recordBlocks(*history, 102, 3);
    ASSERT_TRUE(waitUntil([&] { return current() && current()->blocksFound == 5; }));
    EXPECT_EQ(current()->totalSats, 5 * std::int64_t{625'000'000});
    // Once it reads, the card says what the widgets say.
    model->refreshHistoryFigures();
    EXPECT_TRUE(waitUntil([&] {
        return model->persistedHistoryCount() == 5 &&
               model->persistedHistoryTotalSats() == 5 * std::int64_t{625'000'000};
    }));
    // The last records of a quit are stored after the model last heard of the history.
    recordBlocks(*history, 105, 2);
    model.reset();
    const auto last = current();
    ASSERT_TRUE(last.has_value());
    EXPECT_FALSE(last->isRunning);
    EXPECT_EQ(last->blocksFound, 7);
    EXPECT_EQ(last->totalSats, 7 * std::int64_t{625'000'000});
}

// Records come faster than the history is read: a request made while a reading runs is never
// lost, so the card ends on what the store holds, as the widgets do.
TEST(SessionWidgets, TheCardsCountEndsOnTheHistorysHoweverFastTheRecordsCome) {
    SessionHarness harness;
    const auto history = std::make_shared<MiningHistoryStore>(harness.historyFile());
    auto model = harness.make();
    model->useHistoryStore(history);
    for (int height = 200; height < 250; ++height) {
        recordBlocks(*history, height, 1);
        model->refreshHistoryFigures();
    }
    EXPECT_TRUE(waitUntil([&] {
        return model->persistedHistoryCount() == 50 &&
               model->persistedHistoryTotalSats() == 50 * std::int64_t{625'000'000};
    })) << model->persistedHistoryCount();
    ASSERT_EQ(model->persistedHistory().size(), 50u);
    EXPECT_EQ(model->persistedHistory().back().height, 249);
    EXPECT_TRUE(waitUntil([&] {
        const auto snapshot = SharedContainer::read(harness.container());
        return snapshot && snapshot->blocksFound == 50;
    }));
}

TEST(SessionWidgets, TotalSatsComeFromTheEarningsOnlyWhenTheyCoverTheTypedAddress) {
    SessionHarness harness;
    MiningHistoryStore(harness.historyFile())
        .recordSubmission(100, std::vector<std::uint8_t>(32, 1), std::vector<std::uint8_t>(32, 2),
                          625'000'000, SubmissionResult{SubmissionResult::Accepted{}},
                          std::chrono::system_clock::now());
    const auto model = harness.make();
    // The launch's load of the history is in, whenever it comes: nothing overwrites the total.
    ASSERT_TRUE(waitUntil([&] { return model->persistedHistoryTotalSats() == 625'000'000; }));
    model->setPayoutAddressInput("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4 ");
    const auto total = [&] {
        const auto snapshot = SharedContainer::read(harness.container());
        return snapshot ? snapshot->totalSats : -1;
    };
    ASSERT_TRUE(waitUntil([&] { return total() == 625'000'000; }));
    model->setEarnings(EarningsSnapshot{"bc1qsomeoneelse", 900'000, 1, 2, 1, 1});
    settle(50);
    EXPECT_EQ(total(), 625'000'000);
    model->setEarnings(
        EarningsSnapshot{"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", 900'000, 100, 23, 1, 1});
    EXPECT_TRUE(waitUntil([&] { return total() == 123; }));
}

TEST(SessionWidgets, HeatAndCpuUsageFollowTheirProbes) {
    SessionHarness harness;
    const auto model = harness.make();
    ASSERT_TRUE(waitUntil([&] { return model->cpuUsageValue().isValid(); }));
    const auto usage = model->cpuUsageValue().value<CPUUsageView>();
    EXPECT_GE(usage.systemFraction, 0.0);
    EXPECT_LE(usage.systemFraction, 1.0);
    harness.thermal->thermal = ThermalState::serious;
    EXPECT_TRUE(waitUntil([&] { return model->thermalStateName() == "serious"; }));
}

TEST(SessionProof, OneEntryPerNewTipWhileMiningWithTheHashesSweptSinceTheLastOne) {
    SessionHarness harness;
    const auto model = harness.make();
    auto ledger = std::make_shared<ProofOfMining>(harness.proofFile());
    model->useProofLog(ledger);
    model->setSessionHashes(1'000);

    model->setRunState(runState(Kind::syncing));
    model->recordProofEntry(10, QString::fromStdString(blockHash(10)));
    model->setRunState(runState(Kind::mining));
    model->recordProofEntry(10, QString::fromStdString(blockHash(10)));
    model->recordProofEntry(10, QString::fromStdString(blockHash(10)));
    model->setSessionHashes(1'250);
    model->recordProofEntry(9, QString::fromStdString(blockHash(9)));  // a reorganisation
    ASSERT_TRUE(waitUntil([&] { return model->proofEntryCount() == 2; }));
    // The ledger is written off the GUI thread: wait for the file, not for a while.
    ASSERT_TRUE(
        waitUntil([&] { return ProofOfMining::load(harness.proofFile()).size() == 2; }, 30'000));

    const auto entries = ProofOfMining::load(harness.proofFile());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].networkHeight, 10);
    EXPECT_EQ(entries[0].hashesReported, 1'000u);
    EXPECT_EQ(entries[1].networkHeight, 9);
    EXPECT_EQ(entries[1].hashesReported, 250u);
    EXPECT_TRUE(model->proofVerificationValue().value<ProofVerificationView>().isIntact);
    EXPECT_EQ(model->recentProofEntriesValue().size(), 2);
}

TEST(SessionProof, LifetimeHashesAreSavedAtOnceThenAtMostOnceAMinute) {
    SessionHarness harness;
    const auto model = harness.make();
    const auto stored = [&] {
        return harness.preferences().unsignedInteger("rigwell.lifetimeHashes");
    };
    QSignalSpy changes(model.get(), &MiningSessionModel::lifetimeHashesChanged);

    model->accumulateLifetimeHashes(0);
    EXPECT_EQ(stored(), std::nullopt);
    EXPECT_EQ(changes.count(), 0);
    model->accumulateLifetimeHashes(100);
    EXPECT_EQ(stored(), 100u);
    harness.advance(59s);
    model->accumulateLifetimeHashes(50);
    EXPECT_EQ(model->lifetimeHashes(), 150u);
    EXPECT_EQ(stored(), 100u);
    harness.advance(1s);
    model->accumulateLifetimeHashes(std::numeric_limits<std::uint64_t>::max());  // wraps
    EXPECT_EQ(stored(), 149u);
    EXPECT_EQ(model->lifetimeHashesText(), "149");
    EXPECT_EQ(changes.count(), 3);
}

}  // namespace
}  // namespace corvanta::testing

// Whole sessions against a node program: the test node, or the real one named by
// CORVANTA_TEST_BITCOIND. Cases that script the node through its control socket run on the test
// node only.
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "SessionNodeHarness.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// True when `wanted` appear in `lines` in this order (others may come between).
bool inOrder(const QStringList& lines, const QStringList& wanted) {
    qsizetype at = 0;
    for (const auto& line : wanted) {
        at = lines.indexOf(line, at);
        if (at < 0) return false;
        ++at;
    }
    return true;
}

TEST_F(SessionNodeTest, ARegtestSessionMinesRecordsAndStopsCleanly) {
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining, 30'000)) << logMessages(m).join("\n").toStdString();
    // Found, accepted and notified; no celebration off mainnet.
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto blocks = m.blocksFoundValue();
            return !blocks.isEmpty() &&
                   blocks.back().value<FoundBlockRecord>().isAccepted == std::optional(true);
        },
        30'000))
        << logMessages(m).join("\n").toStdString();
    ASSERT_TRUE(waitUntil([&] { return !notifications.received.empty(); }));
    EXPECT_FALSE(m.blockFoundPresentationValue().isValid());
    ASSERT_TRUE(waitUntil([&] { return m.proofEntryCount() >= 2; }, 20'000));
    ASSERT_TRUE(waitUntil([&] { return m.lifetimeHashes() > 0; }, 20'000));
    EXPECT_TRUE(m.coreVersionValue().toString().startsWith("/Satoshi:31.1"));

    // What stop() saves.
    const auto lifetime = m.lifetimeHashes();
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle, 30'000)) << logMessages(m).join("\n").toStdString();
    EXPECT_TRUE(allProcessesGone(pidFile()));
    // A clean shutdown, as after RPC "stop": the node removed its cookie.
    EXPECT_FALSE(std::filesystem::exists(dataDirectory() / "regtest" / "regtest" / ".cookie"));
    EXPECT_EQ(states,
              (std::vector<Kind>{Kind::startingNode, Kind::mining, Kind::stopping, Kind::idle}));
    const QStringList lines = logMessages(m);
    EXPECT_TRUE(inOrder(
        lines, {"Starting node on regtest\u2026",
                "WARNING: no payout address \u2014 reward goes to OP_TRUE, "
                "spendable by anyone.",
                "Node connected.", "Earnings scan skipped \u2014 no payable address (OP_TRUE).",
                "Node connected, mining immediately (regtest).", "Stop requested.",
                "Mining loop stopped."}))
        << lines.join("\n").toStdString();
    EXPECT_EQ(lines.filter("Earnings scan started").size(), 0);
    EXPECT_GE(lines.filter("BLOCK FOUND").size(), 1);

    // One entry per tip seen while mining, never two for one height, and the ledger verifies.
    const auto entries = ProofOfMining::load(harness.proofFile(BitcoinNetwork::regtest));
    ASSERT_GE(entries.size(), 2u);
    std::set<std::int64_t> heights;
    for (const auto& entry : entries) EXPECT_TRUE(heights.insert(entry.networkHeight).second);
    EXPECT_TRUE(ProofOfMining::verify(entries).isIntact());

    // The lifetime count saved at the stop comes back in a new model.
    this->model.reset();
    EXPECT_EQ(harness.make()->lifetimeHashes(), lifetime);
}

// The installation meets a network before its sync: only the start that met it on a chain still
// holding nothing past its first block, in a new folder, takes its first job for the floor. The
// key as that meeting wrote it, put back at a later start, a folder that has mined before and a
// key that could not be taken leave the floor to a walk from the lowest block; the last is said.
TEST_F(SessionNodeTest, OnlyTheStartThatMetAnEmptyChainTakesItsFirstJobForTheFloor) {
    if (!usingTestNode()) GTEST_SKIP() << "the sync is scripted on the test node";
    setLaunchFlags("-test-control=" + controlSocket().string());
    const auto keyFile = harness.dir.path() / InstallationKey::fileName;
    const auto testnet = [&]() -> std::optional<MinedOnNetwork> {
        try {
            const auto key = InstallationKey::decode(readFile(keyFile));
            if (key.mined.contains("testnet4")) return key.mined.at("testnet4");
        } catch (const std::exception&) {
        }
        return std::nullopt;
    };
    std::string asMet;  // the key file as the first meeting wrote it
    const struct {
        const char* name;
        std::function<void()> before;
        bool floorAtFirstJob;
        const char* logged = nullptr;
    } cases[] = {
        {"new folder", [] {}, true},
        {"the key put back as the meeting wrote it", [&] { writeText(keyFile, asMet); }, false},
        {"folder with a history",
         [&] {
             std::filesystem::remove(keyFile);
             writeText(harness.historyFile(BitcoinNetwork::regtest), "[]");
         },
         false},
        {"key that cannot be taken",
         [&] {
             std::filesystem::remove_all(harness.historyFile().parent_path());
             writeText(keyFile, "{");
         },
         false, "The installation's mark file "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        auto& m = makeModel(BitcoinNetwork::testnet4, "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx");
        m.start();
        ASSERT_TRUE(waitUntil(
            [&] {
                return logMessages(m).contains(
                           "Node connected, waiting for sync before mining\u2026") &&
                       testnet().has_value();
            },
            30'000))
            << logMessages(m).join("\n").toStdString();
        if (asMet.empty()) asMet = readFile(keyFile);
        EXPECT_FALSE(InstallationKey::decode(readFile(keyFile)).mined.at("testnet4").floor)
            << "not before the first job";
        // The walk from the lowest block would set a floor of its own soon after the first job:
        // held at its first question, so that what is read is the first job's doing alone.
        control(R"({"cmd":"delay","seconds":600,"method":"getblockhash"})");
        control(R"({"cmd":"sync","blocks":0,"headers":0,"progress":1.0,"ibd":false,"peers":1})");
        std::optional<MinedOnNetwork> mined;
        ASSERT_TRUE(waitUntil(
            [&] {
                mined = testnet();
                return mined && !mined->marks.empty();
            },
            30'000))
            << logMessages(m).join("\n").toStdString();
        const auto met = *mined;
        ASSERT_EQ(met.marks.size(), 1u);
        const auto firstJob = met.marks.begin()->second;
        EXPECT_EQ(met.floor, c.floorAtFirstJob ? std::optional(firstJob) : std::nullopt);
        if (c.logged) {
            EXPECT_EQ(logMessages(m).filter(c.logged).size(), 1)
                << logMessages(m).join("\n").toStdString();
        }
        m.stop();
        ASSERT_TRUE(waitFor(Kind::idle));
        this->model.reset();
    }
}

// Everything but the node's chain lost: the folder is new, but the chain the next start meets
// holds its blocks, so the floor comes from the walk, at or below the lowest of them.
TEST_F(SessionNodeTest, AFolderLostBesideItsChainTakesTheFloorFromTheWalk) {
    const auto keyFile = harness.dir.path() / InstallationKey::fileName;
    const auto history = harness.historyFile(BitcoinNetwork::regtest);
    auto& first = makeModel();
    first.start();
    ASSERT_TRUE(waitUntil([&] { return first.blocksFoundValue().size() >= 3; }, 60'000))
        << logMessages(first).join("\n").toStdString();
    first.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    this->model.reset();
    std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
    for (const auto& block : MiningHistoryStore(history).allBlocks()) {
        lowest = std::min(lowest, block.height);
    }
    ASSERT_LT(lowest, std::numeric_limits<std::int64_t>::max());
    std::filesystem::remove(keyFile);
    std::filesystem::remove_all(history.parent_path());
    std::filesystem::remove_all(harness.dir.path() / "support" / "rejected-blocks");
    std::filesystem::remove(dataDirectory() / "regtest" / "found-blocks-walked.json");

    auto& again = makeModel();
    again.start();
    std::optional<std::int64_t> floor;
    ASSERT_TRUE(waitUntil(
        [&] {
            try {
                floor = InstallationKey::decode(readFile(keyFile)).mined.at("regtest").floor;
            } catch (const std::exception&) {
            }
            return floor.has_value();
        },
        60'000))
        << logMessages(again).join("\n").toStdString();
    EXPECT_LE(*floor, lowest);
    again.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

// A user starting over off regtest: the folder wiped whole, the node's chain kept, so the network
// is met again, before the sync, on a chain that holds blocks the same marks mined. The first job
// after the sync is no floor: the walk from the lowest block brings every block back.
TEST_F(SessionNodeTest, ANetworkMetOnAChainHoldingOurBlocksIsWalkedFromItsLowestBlock) {
    if (!usingTestNode()) GTEST_SKIP() << "the sync is scripted on the test node";
    setLaunchFlags("-test-control=" + controlSocket().string());
    const auto keyFile = harness.dir.path() / InstallationKey::fileName;
    const auto history = harness.historyFile(BitcoinNetwork::testnet4);
    const QString payout = "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx";
    const auto synced = [&](MiningSessionModel& m) {
        ASSERT_TRUE(waitUntil(
            [&] {
                return logMessages(m).contains(
                    "Node connected, waiting for sync before mining\u2026");
            },
            30'000))
            << logMessages(m).join("\n").toStdString();
        control(R"({"cmd":"sync","progress":1.0,"ibd":false,"peers":1})");
    };
    auto& first = makeModel(BitcoinNetwork::testnet4, payout);
    first.start();
    ASSERT_NO_FATAL_FAILURE(synced(first));
    ASSERT_TRUE(waitUntil([&] { return first.blocksFoundValue().size() >= 3; }, 60'000))
        << logMessages(first).join("\n").toStdString();
    first.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    this->model.reset();
    std::set<std::vector<std::uint8_t>> ours;
    for (const auto& block : MiningHistoryStore(history).allBlocks()) ours.insert(block.blockHash);
    ASSERT_GE(ours.size(), 3u);

    std::filesystem::remove(keyFile);
    std::filesystem::remove_all(history.parent_path());
    std::filesystem::remove_all(harness.dir.path() / "support" / "rejected-blocks");
    std::filesystem::remove(dataDirectory() / "testnet4" / "found-blocks-walked.json");
    auto& again = makeModel(BitcoinNetwork::testnet4, payout);
    again.start();
    ASSERT_NO_FATAL_FAILURE(synced(again));
    ASSERT_TRUE(waitUntil(
        [&] {
            const MiningHistoryStore rebuilt(history);
            return std::all_of(ours.begin(), ours.end(),
                               [&](const auto& hash) { return rebuilt.contains(hash); });
        },
        60'000))
        << logMessages(again).join("\n").toStdString();
    again.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

TEST_F(SessionNodeTest, AStopAtEachWaitingPointEndsIdleWithNoNodeAndNothingAfter) {
    struct Case {
        const char* name;
        bool needsTestNode;
        std::string flags;
        BitcoinNetwork network;
        std::function<bool(SessionNodeTest&)> reached;
        // When set, the case stops the session itself right after this line is logged.
        const char* stopAfterLine = nullptr;
    };
    const std::vector<Case> cases{
        {"before launch", false, "", BitcoinNetwork::regtest, [](auto&) { return true; }},
        {"cookie wait", true, "-test-cookie-delay=30", BitcoinNetwork::regtest,
         [](SessionNodeTest& test) { return test.nodeLaunched(); }},
        {"warm-up", true, "-test-warmup=30", BitcoinNetwork::regtest,
         [](SessionNodeTest& test) { return test.nodeLaunched(); }},
        {"sync", true, "", BitcoinNetwork::testnet4,
         [](SessionNodeTest& test) {
             return logMessages(*test.model)
                 .contains("Node connected, waiting for sync before mining\u2026");
         }},
        // Regtest goes on to mine at once: the stop is queued the moment the line is written,
        // ahead of the work that would start the loop, however quickly or slowly that comes.
        {"after connect", false, "", BitcoinNetwork::regtest,
         [](SessionNodeTest& test) { return logMessages(*test.model).contains("Stop requested."); },
         "Node connected."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsTestNode && !usingTestNode()) continue;
        setLaunchFlags(c.flags);
        states.clear();
        auto& m = makeModel(c.network, c.network == BitcoinNetwork::testnet4
                                           ? "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx"
                                           : QString());
        if (c.stopAfterLine) {
            QObject::connect(
                m.eventLog(), &QAbstractItemModel::rowsInserted, &m,
                [&m, line = QString::fromUtf8(c.stopAfterLine)] {
                    if (m.runState().kind != Kind::stopping && logMessages(m).contains(line)) {
                        m.stop();
                    }
                },
                Qt::QueuedConnection);
        }
        m.start();
        ASSERT_TRUE(waitUntil([&] { return c.reached(*this); }, 30'000));
        if (!c.stopAfterLine) m.stop();
        ASSERT_TRUE(waitFor(Kind::idle));
        EXPECT_TRUE(allProcessesGone(pidFile()));
        settle(300);
        EXPECT_EQ(m.runState().kind, Kind::idle);
        EXPECT_EQ(std::count(states.begin(), states.end(), Kind::mining), 0);
        EXPECT_EQ(criticalErrors(), 0);
        EXPECT_TRUE(logMessages(m).contains("Startup interrupted by stop request."))
            << logMessages(m).join("\n").toStdString();
        this->model.reset();
    }
}

// The history the views read at launch is the one the session records into: read once a start.
TEST_F(SessionNodeTest, TheSessionRecordsIntoTheHistoryTheViewsReadOnce) {
    const auto file = harness.historyFile(BitcoinNetwork::regtest);
    {
        MiningHistoryStore history(file);
        for (std::uint8_t n : {1, 2}) {
            history.recordSubmission(n, std::vector<std::uint8_t>(32, n),
                                     std::vector<std::uint8_t>(32, n), 100,
                                     {SubmissionResult::Accepted{}}, WallClock::now());
        }
    }
    std::mutex given;
    std::shared_ptr<MiningHistoryStore> shared;
    harness.environment.session.makeMiner = [&](const SessionMinerParts& parts) {
        std::lock_guard lock(given);
        shared = parts.history;
        auto built = std::make_shared<ScriptedMiner>(parts.history);
        miner = built;
        return std::shared_ptr<SessionMiner>(built);
    };
    harness.preferences().setString(QStringLiteral("rigwell.selectedNetwork"),
                                    QStringLiteral("regtest"));
    auto& m = makeModel();
    ASSERT_TRUE(waitUntil([&] { return m.persistedHistoryCount() == 2; }));
    std::filesystem::remove(file);  // read again, it would hold nothing
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    std::lock_guard lock(given);
    ASSERT_TRUE(shared);
    EXPECT_TRUE(shared->isLoaded());
    EXPECT_EQ(shared->summary(0).count, 2u);
}

TEST_F(SessionNodeTest, AStopWhileTheLoopIsBuiltNeverRunsIt) {
    std::mutex gate;
    std::condition_variable opened;
    bool entered = false, open = false;
    harness.environment.session.makeMiner = [&](const SessionMinerParts& parts) {
        std::unique_lock lock(gate);
        entered = true;
        opened.wait(lock, [&] { return open; });
        auto built = std::make_shared<ScriptedMiner>(
            std::make_shared<MiningHistoryStore>(parts.historyFile));
        miner = built;
        return std::shared_ptr<SessionMiner>(built);
    };
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            std::lock_guard lock(gate);
            return entered;
        },
        30'000));
    m.stop();
    {
        std::lock_guard lock(gate);
        open = true;
    }
    opened.notify_all();
    ASSERT_TRUE(waitFor(Kind::idle));
    EXPECT_TRUE(allProcessesGone(pidFile()));
    ASSERT_TRUE(miner);
    EXPECT_EQ(miner->runs.load(), 0);
    EXPECT_EQ(std::count(states.begin(), states.end(), Kind::mining), 0);
}

TEST_F(SessionNodeTest, QuittingJustAfterAStopReturnsOnlyOnceTheNodeHasExited) {
    useScriptedMiner();
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    m.stop();
    EXPECT_TRUE(m.shutdownInProgress());
    bool ready = false;
    QObject::connect(&m, &MiningSessionModel::terminationReady, [&] {
        ready = true;
        // The node is gone by the time the process may end.
        EXPECT_TRUE(allProcessesGone(pidFile(), 0));
    });
    m.shutdownForTermination();
    ASSERT_TRUE(waitUntil([&] { return ready; }, 60'000));
}

// While blocks come fast, each widget snapshot written after the history was read counts at least
// what it held, through a quit and a new launch; the last one of a quit counts it all.
TEST_F(SessionNodeTest, NoWidgetSnapshotSaysFewerBlocksThanTheHistoryHeldBeforeItWasWritten) {
    const auto historyFile = harness.historyFile(BitcoinNetwork::regtest);
    const auto snapshotFile = harness.container() / SharedContainer::snapshotFileName;
    const auto held = [&] {
        return std::int64_t(MiningHistoryStore(historyFile).summary(0).count);
    };
    // A new write renames a new file into place.
    const auto written = [&] {
        struct stat info {};
        return ::stat(snapshotFile.c_str(), &info) == 0
                   ? std::pair(info.st_ino,
                               info.st_mtim.tv_sec * 1'000'000'000 + info.st_mtim.tv_nsec)
                   : std::pair(ino_t{}, long{});
    };
    // Reads the history, waits for the next snapshot, and holds the one to the other.
    int checked = 0;
    const auto checkNextSnapshot = [&] {
        const auto before = written();
        const std::int64_t count = held();
        if (!waitUntil([&] { return written() != before; }, 30'000)) return false;
        const auto snapshot = SharedContainer::read(harness.container());
        if (!snapshot) return true;  // replaced again while read: the next round looks again
        ++checked;
        EXPECT_GE(snapshot->blocksFound, count) << "snapshot " << checked;
        return true;
    };
    std::int64_t quitWith = 0;
    for (const char* run : {"first launch", "second launch"}) {
        SCOPED_TRACE(run);
        auto& m = makeModel();
        const std::int64_t atLaunch = held();
        m.start();
        // The launch, then the mining until a few blocks more are stored.
        while (held() < atLaunch + 5) ASSERT_TRUE(checkNextSnapshot());
        ASSERT_EQ(m.runState().kind, Kind::mining);
        for (int round = 0; round < 3; ++round) ASSERT_TRUE(checkNextSnapshot());
        bool ready = false;
        QObject::connect(&m, &MiningSessionModel::terminationReady, [&] { ready = true; });
        m.shutdownForTermination();
        ASSERT_TRUE(waitUntil([&] { return ready; }, 60'000));
        model.reset();
        const auto last = SharedContainer::read(harness.container());
        ASSERT_TRUE(last.has_value());
        EXPECT_FALSE(last->isRunning);
        quitWith = held();
        EXPECT_EQ(last->blocksFound, quitWith) << "the last snapshot of a quit";
    }
    EXPECT_GE(quitWith, 10);
    RecordProperty("snapshotsChecked", checked);
    RecordProperty("blocksAtTheEnd", int(quitWith));
}

// The blocks-found count is what the history holds: after records while mining, after each stop
// and across a restart, in the model and in the widgets' snapshot alike. No refresher pass or
// earnings scan comes to its help here: a payout to nobody, and periods of an hour.
TEST_F(SessionNodeTest, TheBlocksFoundCountIsTheHistorysAfterRecordsStopsAndARestart) {
    harness.environment.session.timings.historyInterval = 1h;
    harness.environment.session.timings.earningsInterval = 1h;
    const auto historyFile = harness.historyFile(BitcoinNetwork::regtest);
    const auto held = [&] {
        return std::int64_t(MiningHistoryStore(historyFile).summary(0).count);
    };
    const auto snapshotCount = [&] {
        const auto snapshot = SharedContainer::read(harness.container());
        return snapshot ? snapshot->blocksFound : -1;
    };
    for (const char* run : {"first launch", "after a restart"}) {
        SCOPED_TRACE(run);
        auto& m = makeModel();
        const std::int64_t atLaunch = held();
        ASSERT_TRUE(waitUntil([&] { return m.persistedHistoryCount() == atLaunch; }));
        m.start();
        ASSERT_TRUE(waitFor(Kind::mining)) << logMessages(m).join("\n").toStdString();
        ASSERT_TRUE(waitUntil([&] { return m.persistedHistoryCount() >= atLaunch + 3; }, 60'000))
            << m.persistedHistoryCount() << " shown, " << held() << " held";
        EXPECT_LE(m.persistedHistoryCount(), held());
        m.stop();
        ASSERT_TRUE(waitFor(Kind::idle));
        EXPECT_TRUE(waitUntil([&] { return m.persistedHistoryCount() == held(); }))
            << m.persistedHistoryCount() << " shown, " << held() << " held";
        EXPECT_TRUE(waitUntil([&] { return snapshotCount() == held(); }))
            << snapshotCount() << " in the snapshot, " << held() << " held";
        model.reset();
    }
}

// What a full disk kept in memory is written as soon as its folder has room again, and the alert
// stays until that write succeeded: a crash before it would still lose the blocks.
TEST_F(SessionNodeTest, TheDiskFullAlertLiftsOnlyOnceWhatWasHeldInMemoryIsWritten) {
    const auto historyFile = harness.historyFile(BitcoinNetwork::regtest);
    const auto blocker = historyFile.parent_path();
    std::filesystem::create_directories(blocker.parent_path());
    writeText(blocker, "a file where the history folder should be");
    useScriptedMiner();
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    const auto miner = scripted();
    const std::vector<std::uint8_t> hash(32, 7);
    EXPECT_THROW(miner->historyStore()->recordSubmission(
                     5, hash, hash, 1, {SubmissionResult::Accepted{}}, WallClock::now()),
                 FileWriteError);
    // The folder named has room from the start; the records still cannot be written. Sent once
    // the loop runs, which may be just after the session says it mines.
    ASSERT_TRUE(waitUntil([&] {
        return miner->send(
            mining_event::StoreNotice{"Cannot write: disk full", harness.dir.path().string()});
    }));
    ASSERT_TRUE(waitUntil([&] { return !m.diskFullAlert().isEmpty(); }));
    const auto samples = [&] { return m.hashRateHistoryValue().size(); };
    const auto seen = samples();
    ASSERT_TRUE(waitUntil([&] { return samples() >= seen + 5; }));
    EXPECT_FALSE(m.diskFullAlert().isEmpty());

    std::filesystem::remove(blocker);
    ASSERT_TRUE(waitUntil([&] { return m.diskFullAlert().isEmpty(); }));
    // Lifted only once the record was on disk.
    const auto saved = MiningHistoryStore(historyFile).allBlocks();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].height, 5);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

TEST_F(SessionNodeTest, AStartJustAfterAStopLaunchesOnlyOnceTheOldNodeIsGone) {
    useScriptedMiner();
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    // The old node takes its time to stop: the new session must wait for it, or find its data
    // folder locked.
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining)) << logMessages(m).join("\n").toStdString();
    EXPECT_EQ(criticalErrors(), 0);
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

TEST_F(SessionNodeTest, RefusalsAndFailuresGiveTheirStateTextAndNotification) {
    // Refused: one log line, no notification, no session.
    harness.environment.selfTest = [] {
        return EngineSelfTest::Verdict(EngineSelfTest::Failed{"bad digest"});
    };
    {
        auto& m = makeModel();
        // The model's own self-test, run at once in the background, says its failure first; the
        // refusal is counted from there, however late that notice lands on a loaded machine.
        ASSERT_TRUE(waitUntil([&] { return criticalErrors() == 1; }));
        const int before = int(notifications.received.size());
        m.start();
        EXPECT_EQ(m.runState().kind, Kind::failed);
        EXPECT_TRUE(m.failureMessage().contains("bad digest"));
        EXPECT_EQ(logMessages(m).filter("Refusing to start").size(), 1);
        settle(200);
        EXPECT_EQ(int(notifications.received.size()), before);
        EXPECT_FALSE(nodeLaunched());
    }
    harness.environment.selfTest = [] { return EngineSelfTest::Verdict(EngineSelfTest::Passed{}); };
    {
        auto& m = makeModel(BitcoinNetwork::regtest, "not an address");
        m.start();
        EXPECT_EQ(m.runState().kind, Kind::failed);
        EXPECT_EQ(logMessages(m).filter("Refusing to start: ").size(), 1);
        EXPECT_FALSE(nodeLaunched());
    }
    // A missing program, then a node that dies while starting, then a loop that ends with an
    // error: each its state and one critical-error notification, each replacing the one before.
    auto program = std::make_shared<std::filesystem::path>(dir_.path() / "no-such-node");
    harness.environment.session.nodeProgram = [program] { return *program; };
    useScriptedMiner({}, [] { throw NodeAbandonedError(6, "no node"); });
    auto buildFails = std::make_shared<std::atomic<bool>>(false);
    harness.environment.session.makeMiner =
        [buildFails, scripted = harness.environment.session.makeMiner](const auto& parts) {
            if (*buildFails) throw std::runtime_error("the ledger's disk is full");
            return scripted(parts);
        };
    settle(200);
    const auto first = notifications.received.size();
    const int base = criticalErrors();
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::failed));
    EXPECT_TRUE(logMessages(m).contains("node binary not found"));
    ASSERT_TRUE(waitUntil([&] { return criticalErrors() == base + 1; }));

    *program = writeScript(dir_.path() / "dying-node",
                           "#!/bin/sh\necho 'Error: the disk is on fire' >&2\nexit 1\n");
    m.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            return m.runState().kind == Kind::failed &&
                   logMessages(m).filter("Startup failed").size() == 1;
        },
        30'000))
        << logMessages(m).join("\n").toStdString();
    EXPECT_TRUE(m.failureMessage().startsWith(
        Localization::shared().string("Le d\u00e9marrage a \u00e9chou\u00e9")));
    ASSERT_TRUE(waitUntil([&] { return criticalErrors() == base + 2; }));

    // What the session builds before mining fails like the start itself, and its node goes.
    *program = launcher_;
    *buildFails = true;
    m.start();
    ASSERT_TRUE(waitUntil([&] { return criticalErrors() == base + 3; }, 60'000));
    EXPECT_TRUE(logMessages(m).contains("Startup failed: the ledger's disk is full"));
    EXPECT_TRUE(allProcessesGone(pidFile()));

    *buildFails = false;
    m.start();
    ASSERT_TRUE(waitUntil([&] { return criticalErrors() == base + 4; }, 60'000));
    ASSERT_TRUE(waitFor(Kind::failed));
    EXPECT_TRUE(logMessages(m).contains(m.failureMessage()));
    for (std::size_t i = first + 1; i < notifications.received.size(); ++i) {
        EXPECT_EQ(notifications.received[i].replacesId, notifications.received[first].id);
    }
    // The failed loop's node is gone too, and a stop has nothing left to do.
    EXPECT_TRUE(allProcessesGone(pidFile()));
    m.stop();
    EXPECT_EQ(m.runState().kind, Kind::failed);
    this->model.reset();
}

// The default signet's blocks need its signers' signature: it is said once, in the event log and
// the status, nothing is hashed and the session ends with its node. (Reaching that point takes a
// template asked for with the signet rule.)
TEST_F(SessionNodeTest, ASignetWhoseBlocksNeedASignatureIsSaidOnceAndNotHashed) {
    if (!usingTestNode()) GTEST_SKIP() << "a signet node mines once it has a peer: scripted here";
    setLaunchFlags("-test-control=" + controlSocket().string());
    auto& m = makeModel(BitcoinNetwork::signet, "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx");
    m.start();
    ASSERT_TRUE(waitUntil([&] {
        return logMessages(m).contains("Node connected, waiting for sync before mining\u2026");
    })) << logMessages(m).join("\n").toStdString();
    // A peer, and the chain it brings: the genesis block alone, current enough to mine on.
    control(R"({"cmd":"sync","ibd":false,"peers":1})");
    ASSERT_TRUE(waitFor(Kind::failed)) << logMessages(m).join("\n").toStdString();
    // Once the session has ended with its node, nothing more can be said.
    ASSERT_TRUE(waitUntil([&] { return allProcessesGone(pidFile()); }));
    ASSERT_TRUE(waitUntil([&] { return criticalErrors() == 1; }));
    const QStringList lines = logMessages(m);
    EXPECT_EQ(lines.count(QStringLiteral(
                  "Not mining: this signet's blocks need a signature this application cannot make "
                  "(only a signet whose challenge needs none, such as OP_TRUE, is mined).")),
              1)
        << lines.join("\n").toStdString();
    EXPECT_TRUE(m.failureMessage().endsWith(Localization::shared().string(
        "Ce signet n'accepte que des blocs sign\u00e9s par ses signataires, et Corvanta ne peut "
        "pas "
        "les signer : il n'y mine pas. Seul un signet dont le d\u00e9fi se passe de signature "
        "(OP_TRUE, par exemple) peut \u00eatre min\u00e9.")))
        << m.failureMessage().toStdString();
    EXPECT_TRUE(lines.contains("Node synced, mining."));
    for (const char* never : {"Template received", "New work loaded", "Recovering"}) {
        EXPECT_TRUE(lines.filter(never).isEmpty()) << never;
    }
    EXPECT_EQ(m.lifetimeHashes(), 0u);
}

}  // namespace
}  // namespace corvanta::testing

// Whole sessions on a node program: the test node, or the one named by CORVANTA_TEST_BITCOIND
// (the shipped bitcoind 31.1, say). Each figure runs best one per process:
//
//   CorvantaSessionBench --benchmark_filter=StartToMining   start() until mining, regtest
//   CorvantaSessionBench --benchmark_filter=StopToIdle      stop() until idle with the node gone
//   CorvantaSessionBench --benchmark_filter=Mining          peak resident memory, blocks found and
//                                                           the GUI thread's share of a core over
//                                                           CORVANTA_BENCH_MINING_SECONDS (60)
//   CorvantaSessionBench --benchmark_filter=Flood           worst event-to-model delay and
//                                                           bursts per second under a flood
//   CorvantaSessionBench --benchmark_filter=EventPath       GUI-thread time per applied event of
//                                                           a logged and unlogged mix, and the
//                                                           delay from the last event of a
//                                                           3,000-event burst to its effect
//   CorvantaSessionBench --benchmark_filter=FoundBlocks   resident memory at 2,000 and at 20,000
//                                                           blocks found with an address payout
//                                                           (CORVANTA_BENCH_FOUND_BLOCKS sets the
//                                                           second mark, the first is a tenth),
//                                                           earnings scans per 1,000 blocks and,
//                                                           on the test node, node calls per block
//   CorvantaSessionBench --benchmark_filter=HashRate        the dashboard's hash rate at Eco,
//                                                           Balanced and Max beside the engine's
//                                                           own (corvanta-bench) at the same
//                                                           thread count (test node only)
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>

#include "ProcessUsage.h"
#include "Session/MiningSessionModel.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/mining/Benchmark.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/PowerMode.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Kind = MiningSessionModel::RunStateKind;
using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    timespec spent{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

QDBusConnection noBus() {
    const QString name = QStringLiteral("session-bench-no-bus");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), name);
    QDBusConnection::disconnectFromBus(name);
    return bus;
}

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return done();
}

// A loop that plays a flood of best-difficulty events from several threads, then waits for its
// stop.
class FloodMiner final : public SessionMiner {
  public:
    explicit FloodMiner(std::shared_ptr<MiningHistoryStore> history)
        : history_(std::move(history)) {}

    static constexpr int threads = 4;
    static constexpr int perThread = 25'000;
    std::vector<Clock::time_point> sentAt = std::vector<Clock::time_point>(threads * perThread);
    std::atomic<bool> go = false;

    void run(MiningEventHandler onEvent) override {
        while (!go && !stopped_) std::this_thread::sleep_for(1ms);
        std::vector<std::jthread> senders;
        for (int t = 0; t < threads; ++t) {
            senders.emplace_back([this, t, onEvent] {
                for (int i = 0; i < perThread; ++i) {
                    const int index = t * perThread + i;
                    sentAt[index] = Clock::now();
                    onEvent(mining_event::BestDifficulty{double(index), 0, 0});
                    if (i % 500 == 0) std::this_thread::sleep_for(10ms);
                }
            });
        }
        senders.clear();
        while (!stopped_) std::this_thread::sleep_for(1ms);
        throw Cancelled();
    }
    void stop() override { stopped_ = true; }
    std::shared_ptr<MiningHistoryStore> historyStore() const override { return history_; }

  private:
    std::shared_ptr<MiningHistoryStore> history_;
    std::atomic<bool> stopped_ = false;
};

// One model on a folder of its own, driving the node under test on reserved ports.
struct Bench {
    testing::TempDir dir;
    testing::ReservedPorts ports{3};
    SessionEnvironment environment;
    std::unique_ptr<MiningSessionModel> model;

    Bench() {
        const auto program = testing::nodeProgram();
        auto& session = environment.session;
        session.nodeProgram = [program] { return program; };
        session.expectedRelease = [](const std::filesystem::path& at) {
            return std::optional(BitcoindRelease{"31.1", BinaryIntegrity::sha256Hex(at)});
        };
        session.dataDirectory = [root = dir.path()](BitcoinNetwork network) {
            auto folder = root / "node" / std::string(rawValue(network));
            std::filesystem::create_directories(folder);
            return folder;
        };
        session.supportDirectory = [root = dir.path()] { return root / "support"; };
        session.rpcPort = ports.first();
        session.p2pPort = ports.first() + 1;
        session.networkingEnabled = false;
        environment.proofLogFile = [root = dir.path()](BitcoinNetwork network) {
            return root / "proof" / (std::string(rawValue(network)) + ".json");
        };
        environment.historyFile = [root = dir.path()](BitcoinNetwork network) {
            return root / "history" / (std::string(rawValue(network)) + ".json");
        };
        environment.snapshotContainer = dir.path() / "group";
        environment.selfTest = [] { return EngineSelfTest::Verdict(EngineSelfTest::Passed{}); };
    }

    // Sessions run `Miner` (made on their history file) in place of the mining loop; `slot`
    // holds the latest one.
    template <typename Miner>
    void useMiner(std::shared_ptr<Miner>& slot) {
        environment.session.makeMiner = [&slot](const SessionMinerParts& parts) {
            slot = std::make_shared<Miner>(std::make_shared<MiningHistoryStore>(parts.historyFile));
            return slot;
        };
    }

    MiningSessionModel& make() {
        model.reset();
        model = std::make_unique<MiningSessionModel>(
            Preferences(QString::fromStdString((dir.path() / "prefs.ini").string())), noBus(),
            noBus(), environment);
        model->setSelectedNetwork(BitcoinNetwork::regtest);
        model->setPayoutAddressInput(QString());
        return *model;
    }
    bool reached(Kind kind, std::chrono::milliseconds limit = 120s) {
        return runUntil([&] { return model->runState().kind == kind; }, limit);
    }
    bool stopped() {
        model->stop();
        return runUntil(
            [&] { return model->runState().kind == Kind::idle && !model->shutdownInProgress(); },
            120s);
    }
};

void StartToMining(benchmark::State& state) {
    Bench bench;
    auto& model = bench.make();
    for (auto _ : state) {
        const auto from = Clock::now();
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - from).count());
        bench.stopped();
    }
}
BENCHMARK(StartToMining)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void StopToIdle(benchmark::State& state) {
    Bench bench;
    auto& model = bench.make();
    for (auto _ : state) {
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        QTest::qWait(500);
        const auto from = Clock::now();
        if (!bench.stopped()) state.SkipWithError("no idle");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - from).count());
    }
}
BENCHMARK(StopToIdle)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void Mining(benchmark::State& state) {
    const char* configured = std::getenv("CORVANTA_BENCH_MINING_SECONDS");
    const int seconds = configured ? std::max(1, std::atoi(configured)) : 60;
    Bench bench;
    bench.environment.performanceCoreCount = 2;
    auto& model = bench.make();
    for (auto _ : state) {
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        const double cpuFrom = threadCpuSeconds();
        const auto from = Clock::now();
        runUntil([] { return false; }, std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - from).count();
        state.counters["gui_core_share_pct"] = (threadCpuSeconds() - cpuFrom) / wall * 100;
        state.counters["blocks_found"] = double(model.blocksFoundValue().size());
        state.counters["blocks_per_min"] = double(model.blocksFoundValue().size()) / wall * 60;
        state.counters["hash_rate_MHs"] = model.currentHashRateMHs();
        state.counters["peak_rss_MiB"] = corvanta::bench::procStatusMiB("VmHWM:");
        state.counters["seconds"] = wall;
        bench.stopped();
    }
}
BENCHMARK(Mining)->Unit(benchmark::kSecond)->Iterations(1);

// Mining on regtest with an address payout, at the product's periods, until the second mark of
// blocks found: every block then adds an output to the address, so the earnings scan's answer
// grows by one output a block. Resident memory is read at each mark once a scan has run past it
// (the memory a scan leaves behind is what matters, not the moment inside one), and the test
// node's count of every call it received gives the calls per block.
void FoundBlocks(benchmark::State& state) {
    const char* configured = std::getenv("CORVANTA_BENCH_FOUND_BLOCKS");
    const std::int64_t target = configured ? std::max(10, std::atoi(configured)) : 20'000;
    const std::int64_t firstMark = target / 10;
    Bench bench;
    const auto control = bench.dir.path() / "control.sock";
    if (testing::usingTestNode()) qputenv("CORVANTA_TESTNODE_CONTROL", control.c_str());
    bench.environment.performanceCoreCount = 2;
    auto& model = bench.make();
    model.setPayoutAddressInput(
        QStringLiteral("bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85"));
    model.selectPowerModeManually(PowerMode::eco);
    int scans = 0;
    int scansDone = 0;
    QObject::connect(&model, &MiningSessionModel::earningsScanStateChanged, &model, [&] {
        const auto kind = model.earningsScanStateValue().value<EarningsScanStateView>().kind;
        if (kind == QStringLiteral("scanning")) ++scans;
        if (kind == QStringLiteral("completed") || kind == QStringLiteral("failed")) ++scansDone;
    });
    const auto height = [&] {
        const auto& status = model.chainStatus();
        return status ? status->blocks : std::int64_t(0);
    };
    for (auto _ : state) {
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        const auto from = Clock::now();
        const std::int64_t startHeight = height();
        const auto found = [&] { return height() - startHeight; };
        struct Mark {
            double residentMiB = 0;
            int scans = 0;
        };
        // A line a minute on stderr: the run is long.
        auto nextLine = Clock::now();
        const auto progress = [&] {
            if (Clock::now() < nextLine) return;
            nextLine += std::chrono::minutes(1);
            std::fprintf(stderr, "%5.1f min  %6lld blocks  %4d scans  %6.1f MiB resident\n",
                         std::chrono::duration<double>(Clock::now() - from).count() / 60,
                         static_cast<long long>(found()), scans, corvanta::bench::residentMiB());
        };
        // Memory at a mark: after the first scan that ends past it.
        const auto markAt = [&](std::int64_t blocks) {
            runUntil(
                [&] {
                    progress();
                    return found() >= blocks;
                },
                std::chrono::hours(24));
            const int ended = scansDone;
            runUntil(
                [&] {
                    progress();
                    return scansDone > ended;
                },
                std::chrono::hours(1));
            QTest::qWait(1'000);
            return Mark{corvanta::bench::residentMiB(), scans};
        };
        const Mark first = markAt(firstMark);
        const Mark second = markAt(target);
        const double blocks = double(found());
        const double minutes = std::chrono::duration<double>(Clock::now() - from).count() / 60;
        state.counters["first_mark_blocks"] = double(firstMark);
        state.counters["second_mark_blocks"] = double(target);
        state.counters["rss_first_mark_MiB"] = first.residentMiB;
        state.counters["rss_second_mark_MiB"] = second.residentMiB;
        state.counters["rss_growth_MiB"] = second.residentMiB - first.residentMiB;
        state.counters["peak_rss_MiB"] = corvanta::bench::procStatusMiB("VmHWM:");
        state.counters["scans"] = second.scans;
        state.counters["scans_per_1000_blocks"] = second.scans / blocks * 1000;
        state.counters["blocks_per_min"] = blocks / minutes;
        if (testing::usingTestNode()) {
            const auto calls = json::parse(testing::sendLine(control, R"({"cmd":"calls"})"));
            double total = 0;
            for (const auto& [method, count] : calls.at("calls").items()) {
                total += count.get<double>();
                if (method == "scantxoutset") state.counters["node_scans"] = count.get<double>();
            }
            state.counters["node_calls_per_block"] = total / blocks;
        }
        bench.stopped();
    }
    qunsetenv("CORVANTA_TESTNODE_CONTROL");
}
BENCHMARK(FoundBlocks)->Unit(benchmark::kSecond)->Iterations(1);

void Flood(benchmark::State& state) {
    Bench bench;
    std::shared_ptr<FloodMiner> miner;
    bench.useMiner(miner);
    auto& model = bench.make();
    for (auto _ : state) {
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        Clock::duration worst{};
        std::vector<Clock::time_point> applied;
        int received = 0;
        QObject::connect(&model, &MiningSessionModel::bestDifficultySessionChanged, &model, [&] {
            const auto at = Clock::now();
            const auto index = std::size_t(model.bestDifficultySessionValue().toDouble());
            worst = std::max(worst, at - miner->sentAt[index]);
            ++received;
            if (applied.empty() || at - applied.back() > 20ms) applied.push_back(at);
        });
        const auto from = Clock::now();
        miner->go = true;
        const int total = FloodMiner::threads * FloodMiner::perThread;
        runUntil([&] { return received == total; }, 120s);
        const double wall = std::chrono::duration<double>(Clock::now() - from).count();
        state.counters["events"] = total;
        state.counters["worst_delay_ms"] = std::chrono::duration<double, std::milli>(worst).count();
        state.counters["bursts_per_s"] = double(applied.size()) / wall;
        bench.stopped();
    }
}
BENCHMARK(Flood)->Unit(benchmark::kSecond)->Iterations(1);

// A loop that plays bursts of events when asked: groups of four, of which two are logged (the
// work loaded, then a template) and two are not (best-difficulty figures), so every burst ends
// with a template; then it waits for its stop.
class BurstMiner final : public SessionMiner {
  public:
    explicit BurstMiner(std::shared_ptr<MiningHistoryStore> history)
        : history_(std::move(history)) {}

    static constexpr int burstSize = 3'000;
    std::atomic<int> burstsAsked = 0;
    std::atomic<int> burstsPlayed = 0;
    std::atomic<std::int64_t> lastHeight = 1'000;
    std::atomic<Clock::time_point> lastSentAt{};

    void run(MiningEventHandler onEvent) override {
        std::int64_t height = lastHeight;
        while (!stopped_) {
            if (burstsPlayed == burstsAsked) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            for (int i = 0; i < burstSize; ++i) {
                switch (i % 4) {
                    case 0:
                        onEvent(mining_event::WorkLoaded{height, 2.5});
                        break;
                    case 1:
                    case 2:
                        onEvent(mining_event::BestDifficulty{double(i), double(i), 1e14});
                        break;
                    default:
                        lastHeight = ++height;
                        if (i == burstSize - 1) lastSentAt = Clock::now();
                        onEvent(mining_event::TemplateReceived{height});
                }
            }
            ++burstsPlayed;
        }
        throw Cancelled();
    }
    void stop() override { stopped_ = true; }
    std::shared_ptr<MiningHistoryStore> historyStore() const override { return history_; }

  private:
    std::shared_ptr<MiningHistoryStore> history_;
    std::atomic<bool> stopped_ = false;
};

// Runs the GUI thread's event loop until `done` or `limit`, asleep in its wait between events (a
// timer wakes it now and then to look at the clock), so that its CPU time is the events' own.
bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QTimer wake;
    wake.start(50ms);
    const auto deadline = Clock::now() + limit;
    while (!done() && Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

void EventPath(benchmark::State& state) {
    Bench bench;
    std::shared_ptr<BurstMiner> miner;
    bench.useMiner(miner);
    auto& model = bench.make();
    model.start();
    if (!bench.reached(Kind::mining)) {
        state.SkipWithError("no mining");
        return;
    }
    std::optional<Clock::time_point> effectAt;
    std::int64_t awaited = -1;
    QObject::connect(&model, &MiningSessionModel::templateHeightChanged, &model, [&] {
        if (model.templateHeightValue().toLongLong() == awaited) effectAt = Clock::now();
    });
    std::vector<double> microsecondsPerEvent;
    std::vector<double> delaysMs;
    for (auto _ : state) {
        QTest::qWait(300);  // the pollers' start-up work and the last burst out of the way
        effectAt.reset();
        awaited = miner->lastHeight + BurstMiner::burstSize / 4;
        const double cpuFrom = threadCpuSeconds();
        ++miner->burstsAsked;
        if (!serveUntil([&] { return effectAt.has_value(); }, 60s)) {
            state.SkipWithError("the burst never reached the model");
            break;
        }
        const double cpu = threadCpuSeconds() - cpuFrom;
        const auto delay = *effectAt - miner->lastSentAt.load();
        microsecondsPerEvent.push_back(cpu * 1e6 / BurstMiner::burstSize);
        delaysMs.push_back(std::chrono::duration<double, std::milli>(delay).count());
        state.SetIterationTime(cpu);
    }
    std::sort(microsecondsPerEvent.begin(), microsecondsPerEvent.end());
    std::sort(delaysMs.begin(), delaysMs.end());
    if (!delaysMs.empty()) {
        const double median = microsecondsPerEvent[microsecondsPerEvent.size() / 2];
        state.counters["gui_us_per_event"] = median;
        state.counters["events_per_gui_s"] = 1e6 / median;
        state.counters["last_effect_ms"] = delaysMs[delaysMs.size() / 2];
        state.counters["worst_last_effect_ms"] = delaysMs.back();
    }
    state.counters["log_lines"] = model.eventLog()->count();
    bench.stopped();
}
BENCHMARK(EventPath)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// The rate a user gets against the rate the engine has. On regtest's own target nearly every
// nonce is a block, so a session there times block handling; the test node's templates here ask
// for a mainnet-like target instead, which no nonce range meets. The dashboard's figure is the
// median of its samples once the first two (the ramp-up) are past; the engine's is what
// corvanta-bench measures (Benchmark::measure on a CPUEngine) at the session's worker count,
// taken right after the session stopped. Where other programs share the cores, wall-clock rates
// swing with them; hashes per second of this process's processor time are set side by side too.
void HashRate(benchmark::State& state) {
    if (!testing::usingTestNode()) {
        state.SkipWithError("needs the test node's scripted template target");
        return;
    }
    constexpr std::size_t rampUpSamples = 2;
    constexpr std::size_t measuredSamples = 8;
    const PowerMode mode = allPowerModes[std::size_t(state.range(0))];
    state.SetLabel(std::string(rawValue(mode)));
    // Mainnet's bits at height 840,000: about one block in 2^78 nonces (difficulty 1, "1d00ffff",
    // still meets about one nonce in 2^32). The node inherits the variable.
    qputenv("CORVANTA_TESTNODE_TEMPLATE_BITS", "17034219");
    Bench bench;
    auto& model = bench.make();
    model.selectPowerModeManually(mode);
    for (auto _ : state) {
        std::vector<double> samples;
        struct Reading {
            std::uint64_t hashes = 0;
            double cpuSeconds = 0;
        };
        Reading settledFrom, settledTo;
        const auto connection =
            QObject::connect(&model, &MiningSessionModel::currentHashRateMHsChanged, &model, [&] {
                if (model.currentHashRateMHs() <= 0) return;
                samples.push_back(model.currentHashRateMHs());
                const Reading now{model.sessionHashes(), corvanta::bench::processCpuSeconds()};
                if (samples.size() == rampUpSamples) settledFrom = now;
                if (samples.size() == rampUpSamples + measuredSamples) settledTo = now;
            });
        model.start();
        if (!bench.reached(Kind::mining)) state.SkipWithError("no mining");
        if (!runUntil([&] { return samples.size() >= rampUpSamples + measuredSamples; }, 120s)) {
            state.SkipWithError("too few hash-rate samples");
        }
        QObject::disconnect(connection);
        const int workers = model.effectiveWorkerCount().value_or(0);
        const std::uint64_t blocks = model.blocksFoundValue().size();
        bench.stopped();
        if (samples.size() < rampUpSamples + measuredSamples || workers < 1) break;

        std::vector<double> settled(samples.begin() + rampUpSamples, samples.end());
        std::nth_element(settled.begin(), settled.begin() + settled.size() / 2, settled.end());
        const double session = settled[settled.size() / 2];
        CPUEngine engine(workers);
        // About four seconds of hashing, as corvanta-bench sizes its run.
        const auto hashes = std::clamp<std::uint64_t>(
            std::uint64_t(session * 1e6 * 4), std::uint64_t(workers) * CPUEngine::defaultChunkSize,
            std::uint64_t{1} << 32);
        const double cpuFrom = corvanta::bench::processCpuSeconds();
        const double alone = Benchmark::measure(engine, workers, hashes).megahashesPerSecond();
        const double aloneCpu =
            double(hashes) / 1e6 / (corvanta::bench::processCpuSeconds() - cpuFrom);
        const double sessionCpu = double(settledTo.hashes - settledFrom.hashes) / 1e6 /
                                  (settledTo.cpuSeconds - settledFrom.cpuSeconds);
        state.counters["workers"] = workers;
        state.counters["session_MHs"] = session;
        state.counters["engine_MHs"] = alone;
        state.counters["session_pct_of_engine"] = alone > 0 ? session / alone * 100 : 0;
        state.counters["session_MH_per_cpu_s"] = sessionCpu;
        state.counters["engine_MH_per_cpu_s"] = aloneCpu;
        state.counters["session_pct_of_engine_per_cpu"] = sessionCpu / aloneCpu * 100;
        state.counters["blocks_found"] = double(blocks);
    }
    qunsetenv("CORVANTA_TESTNODE_TEMPLATE_BITS");
}
BENCHMARK(HashRate)->DenseRange(0, 2)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace corvanta

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The walk of the chain that puts missed blocks of ours back into the history, over blocks as big
// as a busy mainnet's, served by the test node:
//
//   MiningLoopBench --benchmark_filter=ChainWalk
//
// CORVANTA_BENCH_WALK_BLOCKS (1,000) blocks of CORVANTA_BENCH_WALK_TRANSACTIONS (2,800)
// transactions and about CORVANTA_BENCH_WALK_BYTES (1,500,000) bytes each, the newest three of
// them ours; an empty history, so the walk covers them all. Figures: the walk's wall time and this
// process's processor time, its RPC calls (in all and per block) and the blocks it put back; then,
// with a mining loop, the time to its first work and to the end of its walk (mining must start
// first). The node's own time is the test node's, in Python: slower than the real node's.
#include <benchmark/benchmark.h>

#include <ctime>
#include <optional>

#include "TestSupport.h"
#include "corvanta/assembly/BlockMiner.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/NodeController.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double processCpuSeconds() {
    timespec spent{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

long setting(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atol(text) : fallback;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void ChainWalk(benchmark::State& state) {
    if (!testing::usingTestNode()) {
        state.SkipWithError("needs the test node's big blocks");
        return;
    }
    const long blocks = setting("CORVANTA_BENCH_WALK_BLOCKS", 1000);
    const long transactions = setting("CORVANTA_BENCH_WALK_TRANSACTIONS", 2800);
    const long bytes = setting("CORVANTA_BENCH_WALK_BYTES", 1'500'000);
    testing::TempDir dir;
    const auto control = dir.path() / "control.sock";
    testing::ScopedEnv controlled("CORVANTA_TESTNODE_CONTROL", control.string());
    testing::ReservedPorts ports(3);
    std::filesystem::create_directories(dir.path() / "node");
    NodeControllerTimings timings;
    timings.rpcTimeoutSeconds = 120;
    NodeController controller(testing::nodeProgram(),
                              NodeConfiguration(BitcoinNetwork::regtest, dir.path() / "node", 0,
                                                ports.first(), ports.first() + 1, false, false),
                              std::nullopt, timings);
    const auto client = controller.startAndConnect(30s, 30s, {});
    client->call("generatetodescriptor", {RPCParam::integer(101), RPCParam::string("raw(51)")}, 120,
                 {});
    for (long made = 0; made < blocks - 3;) {
        const long now = std::min<long>(25, blocks - 3 - made);
        const auto reply = testing::sendLine(
            control, R"({"cmd":"mine","count":)" + std::to_string(now) +
                         R"(,"fill":{"transactions":)" + std::to_string(transactions) +
                         R"(,"bytes":)" + std::to_string(bytes) + "}}");
        if (reply.find("\"ok\": true") == std::string::npos) {
            state.SkipWithError(("the node made no big blocks: " + reply).c_str());
            controller.stop();
            return;
        }
        made += now;
    }
    const BlockOwnership ours{{0x51}, BlockOwnership::markForThisUser(dir.path(), Bytes{0x51})};
    const BlockMiner miner(std::make_shared<CPUEngine>(1));
    for (int i = 0; i < 3; ++i) {
        const MiningJob job(BlockTemplate::fetch(*client, TemplateRules::segwit, std::nullopt, {}),
                            ours.payoutPlan(), TemplateRules::segwit);
        const auto outcome =
            miner.mine(job.candidate(0, std::nullopt), NonceRange(0, 1'000'000), {});
        if (outcome) submit(*outcome, *client, {});
    }
    const auto tip = json::as<std::int64_t>(client->call("getblockcount", {}, 30, {}));

    for (auto _ : state) {
        MiningHistoryStore history(dir.path() / "walked" / "regtest.json");
        const auto cpuBefore = processCpuSeconds();
        const auto start = Clock::now();
        const auto walk =
            HistoryReconciliation::reconcile(history, *client, ours, {}, tip, 120, {});
        state.SetIterationTime(secondsSince(start));
        state.counters["walk_s"] = secondsSince(start);
        state.counters["cpu_s"] = processCpuSeconds() - cpuBefore;
        state.counters["blocks_walked"] = double(tip - walk.from + 1);
        state.counters["rpc_calls"] = double(walk.questions);
        state.counters["calls_per_block"] = double(walk.questions) / double(tip - walk.from + 1);
        state.counters["blocks_added"] = double(walk.added.size());
        if (!walk.complete) state.SkipWithError("the walk did not reach the tip");
    }

    // Beside a mining loop: its first work comes before the walk ends.
    const auto walkRecord = dir.path() / "node" / "found-blocks-walked.json";
    auto engine = std::make_shared<CPUEngine>(1);
    engine->setPaused(true);
    MiningCoordinator coordinator(
        std::make_shared<TemplateWatcher>(client, ours.payoutPlan(), TemplateRules::segwit, 120),
        engine, client, nullptr, defaultNodeRestartAttemptLimit, defaultNodeRestartInitialBackoff,
        dir.path() / "rejected", BestDifficultyStore(dir.path() / "best.json"),
        std::make_shared<MiningHistoryStore>(dir.path() / "history" / "regtest.json"), ours,
        walkRecord, MiningLoopTimings{.reconciliationCallTimeoutSeconds = 120});
    std::atomic<double> firstWork = -1;
    const auto start = Clock::now();
    std::jthread mining([&] {
        try {
            coordinator.run([&](const MiningEvent& event) {
                if (std::holds_alternative<mining_event::WorkLoaded>(event) && firstWork < 0) {
                    firstWork = secondsSince(start);
                }
            });
        } catch (const std::exception&) {
        }
    });
    const bool walked =
        testing::eventually([&] { return std::filesystem::exists(walkRecord); }, 30min);
    const double walkEnd = secondsSince(start);
    coordinator.stop();
    mining.join();
    state.counters["loop_first_work_s"] = firstWork.load();
    state.counters["loop_walk_end_s"] = walked ? walkEnd : -1;
    if (!walked || firstWork < 0 || firstWork > walkEnd) {
        state.SkipWithError("mining did not start before the walk ended");
    }
    controller.stop();
}
BENCHMARK(ChainWalk)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace
}  // namespace corvanta

// Mining on regtest with the pending folder clean, and with junk in it: one file of 200 MB and
// 5,000 small damaged files, all named as pending blocks are. What lies in the folder must cost
// neither blocks a minute nor memory:
//
//   MiningLoopBench --benchmark_filter=PendingFolderMining/0   (clean)
//   MiningLoopBench --benchmark_filter=PendingFolderMining/1   (junk)
//
// Run the two side by side, so both see the same load. Each mines for
// CORVANTA_BENCH_MINING_SECONDS (60) on a node of its own (CORVANTA_TEST_BITCOIND, else the test
// node) with one hashing thread. Figures: blocks found a minute, and the largest resident set
// (VmRSS, sampled every 100 ms) while mining.
#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/NodeController.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long setting(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::atol(text) : fallback;
}

// This process's resident set now, in megabytes.
double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void fillWithJunk(const std::filesystem::path& pending) {
    std::filesystem::create_directories(pending);
    {
        std::ofstream big(pending / "pending-1-big.json", std::ios::binary);
        const std::string megabyte(1 << 20, 'x');
        for (int i = 0; i < 200; ++i) big << megabyte;
    }
    for (int i = 0; i < 5000; ++i) {
        std::ofstream(pending / ("pending-" + std::to_string(i) + "-junk.json"))
            << R"({"height": 1, "blockHex": "not a block")";
    }
}

void PendingFolderMining(benchmark::State& state) {
    const bool junk = state.range(0) != 0;
    const auto seconds = setting("CORVANTA_BENCH_MINING_SECONDS", 60);
    testing::TempDir dir;
    testing::ReservedPorts ports(3);
    std::filesystem::create_directories(dir.path() / "node");
    NodeController controller(testing::nodeProgram(),
                              NodeConfiguration(BitcoinNetwork::regtest, dir.path() / "node", 0,
                                                ports.first(), ports.first() + 1, false, false),
                              std::nullopt, NodeControllerTimings{});
    const auto client = controller.startAndConnect(30s, 30s, {});
    client->call("generatetodescriptor", {RPCParam::integer(101), RPCParam::string("raw(51)")}, 120,
                 {});
    if (junk) fillWithJunk(dir.path() / "rejected" / "pending");

    const auto ours =
        BlockOwnership::of(InstallationKey::keptIn(dir.path(), dir.path()), Bytes{0x51});
    for (auto _ : state) {
        MiningCoordinator coordinator(
            std::make_shared<TemplateWatcher>(client, ours.payoutPlan(), TemplateRules::segwit,
                                              120),
            std::make_shared<CPUEngine>(1), client, nullptr, defaultNodeRestartAttemptLimit,
            defaultNodeRestartInitialBackoff, dir.path() / "rejected",
            BestDifficultyStore(dir.path() / "best.json"),
            std::make_shared<MiningHistoryStore>(dir.path() / "history" / "regtest.json"), ours);
        std::atomic<long> found = 0;
        std::atomic<long> notices = 0;
        const auto start = Clock::now();
        std::jthread mining([&] {
            try {
                coordinator.run([&](const MiningEvent& event) {
                    found += std::holds_alternative<mining_event::BlockFound>(event);
                    notices += std::holds_alternative<mining_event::StoreNotice>(event);
                });
            } catch (const std::exception&) {
            }
        });
        double peak = 0;
        while (Clock::now() - start < std::chrono::seconds(seconds)) {
            peak = std::max(peak, residentMegabytes());
            std::this_thread::sleep_for(100ms);
        }
        const long blocks = found;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        coordinator.stop();
        mining.join();
        state.SetIterationTime(elapsed);
        state.counters["blocks_per_minute"] = double(blocks) * 60.0 / elapsed;
        state.counters["peak_rss_mb"] = peak;
        state.counters["notices"] = double(notices.load());
    }
    controller.stop();
}
BENCHMARK(PendingFolderMining)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
}  // namespace corvanta

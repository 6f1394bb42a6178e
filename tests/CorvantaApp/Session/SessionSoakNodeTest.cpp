// A short soak: a session mining on a node program with short periods, every block found going
// through the history, its refresher, the pollers and the event log. Once warm, the process's
// memory must stop growing with the blocks found. Progress is counted in blocks, never in time.
#include <fstream>
#include <numeric>

#include "SessionNodeHarness.h"

namespace corvanta::testing {
namespace {

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

TEST_F(SessionNodeTest, AfterWarmUpMemoryStaysFlatAsBlocksAreFound) {
    constexpr std::int64_t warmUpBlocks = 200;
    constexpr std::int64_t blocksPerSample = 80;
    constexpr int samples = 9;
    // Every record is asked about at each refresh: at the harness's 200 ms the node would spend
    // its time answering those questions instead of taking blocks.
    harness.environment.session.timings.historyInterval = std::chrono::seconds(1);
    auto& m = makeModel();
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    const auto logged = [&] { return logMessages(m).join("\n").toStdString(); };

    std::vector<double> resident;
    for (int i = 0; i <= samples; ++i) {
        const auto blocks = warmUpBlocks + i * blocksPerSample;
        ASSERT_TRUE(waitUntil([&] { return m.persistedHistoryCount() >= blocks; }, 300'000))
            << "stuck below " << blocks << " blocks\n"
            << logged();
        if (i > 0) resident.push_back(residentMiB());  // the first crossing ends the warm-up
    }
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));

    const auto third = resident.size() / 3;
    const auto mean = [](auto from, auto to) {
        return std::accumulate(from, to, 0.0) / double(std::distance(from, to));
    };
    const double early = mean(resident.begin(), resident.begin() + std::ptrdiff_t(third));
    const double late = mean(resident.end() - std::ptrdiff_t(third), resident.end());
    std::string figures;
    for (const double mib : resident) figures += std::to_string(mib) + " ";
    EXPECT_LT(late - early, 4.0) << "resident MiB every " << blocksPerSample
                                 << " blocks: " << figures;
    // Everything found is in the history, once.
    EXPECT_GE(MiningHistoryStore(harness.historyFile(BitcoinNetwork::regtest)).summary(0).count,
              std::size_t(warmUpBlocks + samples * blocksPerSample));
}

}  // namespace
}  // namespace corvanta::testing

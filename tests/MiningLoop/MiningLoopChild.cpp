// A mining loop in a process of its own, for tests that end it abruptly: mines on the node at
// ENDPOINT with USER and PASSWORD, keeping its files in FOLDER as a session does, until it is
// killed.
#include <cstdio>
#include <filesystem>

#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"

int main(int argc, char** argv) {
    using namespace corvanta;
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s ENDPOINT USER PASSWORD FOLDER\n", argv[0]);
        return 2;
    }
    const auto client = std::make_shared<RPCClient>(argv[1], RPCCredentials{argv[2], argv[3]});
    const std::filesystem::path folder = argv[4];
    // The installation of the folder, as a session keeps it and the test that started it mines for.
    const auto ownership = BlockOwnership::of(InstallationKey::keptIn(folder, folder), Bytes{0x51});
    MiningCoordinator coordinator(
        std::make_shared<TemplateWatcher>(client, ownership.payoutPlan(), TemplateRules::segwit,
                                          120),
        std::make_shared<CPUEngine>(1), client, nullptr, defaultNodeRestartAttemptLimit,
        defaultNodeRestartInitialBackoff, folder / "rejected",
        BestDifficultyStore(folder / "best.json"),
        std::make_shared<MiningHistoryStore>(folder / "history" / "regtest.json"), ownership);
    try {
        coordinator.run([](const MiningEvent&) {});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mining ended: %s\n", error.what());
        return 1;
    }
    return 0;
}

#include "NodeHarness.h"

#include <cstdlib>

namespace corvanta::testing {

void NodeHarness::SetUp() {
    const char* configured = std::getenv("CORVANTA_TEST_BITCOIND");
    if ((configured == nullptr || *configured == '\0') && !std::filesystem::exists(nodeProgram())) {
        GTEST_SKIP() << "no node program: " << nodeProgram() << " is missing";
    }
    setLaunchFlags("");
    launcher_ = writeScript(dir_.path() / "bitcoind",
                            "#!/bin/sh\n"
                            "echo $$ >> '" +
                                pidFile().string() +
                                "'\n"
                                "exec '" +
                                nodeProgram().string() + "' \"$@\" $(cat '" +
                                (dir_.path() / "flags").string() + "')\n");
}

void NodeHarness::TearDown() {
    controllers_.clear();
    EXPECT_TRUE(allProcessesGone(pidFile())) << "a node was left running";
}

void NodeHarness::setLaunchFlags(const std::string& flags) {
    writeText(dir_.path() / "flags", flags);
}

NodeControllerTimings NodeHarness::fastTimings() const {
    using namespace std::chrono_literals;
    NodeControllerTimings timings;
    timings.cookieTimeout = 30s;
    timings.warmupTimeout = 30s;
    timings.readyPollInterval = 50ms;
    timings.warmupRetry = 50ms;
    timings.stopGrace = 30s;
    timings.stopPoll = 20ms;
    timings.terminationRecheck = 50ms;
    timings.rpcTimeoutSeconds = 10;
    timings.process.cookiePoll = 20ms;
    return timings;
}

NodeConfiguration NodeHarness::configuration(const std::filesystem::path& dataDirectory,
                                             bool listening) {
    const ReservedPorts& ports = ports_.emplace_back(3);
    return NodeConfiguration(BitcoinNetwork::regtest, dataDirectory, 0, ports.first(),
                             ports.first() + 1, false, listening);
}

NodeController& NodeHarness::makeController(std::optional<NodeControllerTimings> timings,
                                            std::optional<std::filesystem::path> dataDirectory,
                                            bool listening) {
    controllers_.push_back(std::make_unique<NodeController>(
        launcher_, configuration(dataDirectory.value_or(this->dataDirectory()), listening),
        std::nullopt, timings.value_or(fastTimings())));
    return *controllers_.back();
}

std::shared_ptr<const RPCClient> NodeHarness::startNode() {
    using namespace std::chrono_literals;
    return makeController().startAndConnect(30s, 30s, {});
}

}  // namespace corvanta::testing

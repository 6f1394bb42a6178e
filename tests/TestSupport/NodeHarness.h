#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "corvanta/node/NodeController.h"
#include "corvanta/node/NodeProcessError.h"

namespace corvanta::testing {

// Runs the node program under test (see nodeProgram()) through a small launcher that records each
// node's pid and appends the flags of a file, so a test can change a later launch's flags. Checks
// at the end that no node is left running.
class NodeHarness : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    static bool usingTestNode() { return testing::usingTestNode(); }

    // Flags added to every later launch.
    void setLaunchFlags(const std::string& flags);
    std::filesystem::path controlSocket() const { return dir_.path() / "control.sock"; }
    std::filesystem::path pidFile() const { return dir_.path() / "pids"; }
    std::filesystem::path dataDirectory() const { return dir_.path() / "data"; }

    NodeControllerTimings fastTimings() const;
    // Regtest on ports reserved for this test (RPC, then P2P and P2P + 1, the onion port a
    // listening node binds). Networking is off unless the test needs the node to listen.
    NodeConfiguration configuration(const std::filesystem::path& dataDirectory,
                                    bool listening = false);
    NodeController& makeController(std::optional<NodeControllerTimings> timings = std::nullopt,
                                   std::optional<std::filesystem::path> dataDirectory = {},
                                   bool listening = false);
    // A node of a new controller, started and warmed up.
    std::shared_ptr<const RPCClient> startNode();

    TempDir dir_;
    std::filesystem::path launcher_;
    std::vector<ReservedPorts> ports_;  // outlives the nodes using them
    std::vector<std::unique_ptr<NodeController>> controllers_;
};

// The kind of the NodeProcessError that `action` throws.
inline NodeProcessError::Kind kindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const NodeProcessError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "a NodeProcessError was expected";
    return NodeProcessError::NotRunning{};
}

}  // namespace corvanta::testing

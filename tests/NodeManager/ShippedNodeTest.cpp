#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "TestSupport.h"
#include "corvanta/node/ApplicationBundle.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/BinaryVersionProbe.h"
#include "corvanta/node/NodeController.h"
#include "corvanta/node/NodeProcessError.h"

// The node this build ships beside its programs, found and verified as the application does it:
// this test program is built with the node in Node/ beside it.
namespace corvanta {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

NodeConfiguration regtestOn(const testing::ReservedPorts& ports, const fs::path& dataDirectory) {
    return NodeConfiguration(BitcoinNetwork::regtest, dataDirectory, 0, ports.first(),
                             ports.first() + 1, false, false);
}

TEST(ShippedNodeTest, LaunchesAsShippedAndIsRefusedWithOneByteChanged) {
    const BitcoindRelease compiledIn = BinaryLocator::expectedBitcoindRelease();
    if (compiledIn.sha256.empty()) GTEST_SKIP() << "this build ships no node";
    const ApplicationBundle& bundle = ApplicationBundle::main();
    const auto shipped = BinaryLocator::bundledBitcoindURL(bundle);
    ASSERT_TRUE(shipped.has_value()) << "no Node/bitcoind beside this program";
    EXPECT_EQ(BinaryLocator::bitcoindURL(bundle), *shipped);
    EXPECT_EQ(compiledIn.version, "31.1");
    EXPECT_EQ(BinaryIntegrity::sha256Hex(*shipped), compiledIn.sha256);

    const testing::TempDir dir;
    const testing::ReservedPorts ports(3);
    NodeController controller(*shipped, regtestOn(ports, dir.path() / "data"),
                              BinaryLocator::expectedRelease(*shipped, bundle));
    ASSERT_NE(controller.startAndConnect(60s, 60s, {}), nullptr);
    EXPECT_EQ(controller.status({}).chain, "regtest");
    controller.stop();
    EXPECT_TRUE(controller.isStopped());

    // A copy with its last byte changed, installed where a user's own node goes.
    const testing::ScopedEnv support("CORVANTA_SUPPORT_DIR", (dir.path() / "support").string());
    const fs::path altered = BinaryLocator::bitcoindURL(ApplicationBundle{});
    fs::create_directories(altered.parent_path());
    fs::copy_file(*shipped, altered);
    {
        std::fstream file(altered, std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(-1, std::ios::end);
        const char last = static_cast<char>(file.get());
        file.seekp(-1, std::ios::end);
        file.put(static_cast<char>(last ^ 0x01));
    }
    const std::string alteredDigest = BinaryIntegrity::sha256Hex(altered);
    NodeController refused(altered, regtestOn(ports, dir.path() / "refused"),
                           BinaryLocator::expectedRelease(altered, bundle));
    try {
        refused.startAndConnect(60s, 60s, {});
        ADD_FAILURE() << "an altered node was launched";
    } catch (const NodeProcessError& error) {
        EXPECT_EQ(error.kind(), NodeProcessError::Kind(NodeProcessError::IntegrityMismatch{
                                    "31.1", compiledIn.sha256, alteredDigest, "Nœud 31.1.0"}));
        EXPECT_THAT(error.what(), HasSubstr("Relancer scripts/fetch-bitcoind 31.1"));
    }
    EXPECT_FALSE(fs::exists(dir.path() / "refused"));  // never launched
}

// bitcoind makes ~/.bitcoin (a settings file and a wallets folder) even to print its version: the
// probe the integrity check runs must leave no trace in any home, nor in the temporary folder.
TEST(ShippedNodeTest, ItsVersionIsReadWithoutATraceInTheHomeOrTheTemporaryFolder) {
    if (BinaryLocator::expectedBitcoindRelease().sha256.empty()) {
        GTEST_SKIP() << "this build ships no node";
    }
    const auto shipped = BinaryLocator::bundledBitcoindURL(ApplicationBundle::main());
    ASSERT_TRUE(shipped.has_value()) << "no Node/bitcoind beside this program";
    const testing::TempDir dir;
    fs::create_directories(dir.path() / "home");
    fs::create_directories(dir.path() / "tmp");
    const testing::ScopedEnv home("HOME", (dir.path() / "home").string());
    const testing::ScopedEnv tmp("TMPDIR", (dir.path() / "tmp").string());

    EXPECT_EQ(BinaryVersionProbe::probe(*shipped, 60s), "Nœud 31.1.0");
    EXPECT_TRUE(fs::is_empty(dir.path() / "home"));
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

}  // namespace
}  // namespace corvanta

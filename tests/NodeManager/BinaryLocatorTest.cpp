#include <gtest/gtest.h>

#include "TestSupport.h"
#include "corvanta/node/BinaryLocator.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

TEST(BinaryLocatorTest, EveryLocationLiesUnderTheConfiguredSupportDirectory) {
    const TempDir support;
    const ScopedEnv env("CORVANTA_SUPPORT_DIR", support.path().string());
    const fs::path s = support.path();
    EXPECT_EQ(BinaryLocator::applicationSupportDirectory(), s);
    EXPECT_EQ(BinaryLocator::dataDirectory(BitcoinNetwork::signet), s / "node" / "signet");
    EXPECT_EQ(BinaryLocator::historyFileURL(BitcoinNetwork::mainnet), s / "history/mainnet.json");
    EXPECT_EQ(BinaryLocator::bestDifficultyFileURL(BitcoinNetwork::testnet4),
              s / "best-difficulty/testnet4.json");
    EXPECT_EQ(BinaryLocator::proofLogFileURL(BitcoinNetwork::regtest), s / "proof/regtest.json");
    EXPECT_EQ(BinaryLocator::rejectedBlockDirectory(BitcoinNetwork::signet),
              s / "rejected-blocks/signet");
    EXPECT_EQ(BinaryLocator::legacySharedHistoryFileURL(), s / "MinerHistory.json");
    EXPECT_EQ(BinaryLocator::legacySharedBestDifficultyFileURL(), s / "best-difficulty.json");
    EXPECT_EQ(BinaryLocator::bitcoindURL(ApplicationBundle{}), s / "bin/bitcoind");
    // Locating creates nothing.
    EXPECT_TRUE(fs::is_empty(s));

    // The variable is read on every call.
    const TempDir other;
    const ScopedEnv changed("CORVANTA_SUPPORT_DIR", other.path().string());
    EXPECT_EQ(BinaryLocator::dataDirectory(BitcoinNetwork::regtest), other.path() / "node/regtest");
}

TEST(BinaryLocatorTest, AnEmptySupportVariableCountsAsUnset) {
    const TempDir dataHome;
    const ScopedEnv xdg("XDG_DATA_HOME", dataHome.path().string());
    const ScopedEnv env("CORVANTA_SUPPORT_DIR", std::string());
    const fs::path support = BinaryLocator::applicationSupportDirectory();
    EXPECT_FALSE(support.empty());
    EXPECT_TRUE(support.is_absolute());
    EXPECT_EQ(support.filename(), "Corvanta");
    EXPECT_EQ(BinaryLocator::dataDirectory(BitcoinNetwork::regtest), support / "node/regtest");
}

TEST(BinaryLocatorTest, ResolvesAndMigratesTheSupportFolder) {
    {
        const TempDir parent;
        EXPECT_EQ(BinaryLocator::resolveSupportDirectory(parent.path()),
                  parent.path() / "Corvanta");
        EXPECT_FALSE(fs::exists(parent.path() / "Corvanta"));  // not created here
    }
    {
        const TempDir parent;
        fs::create_directory(parent.path() / "Corvanta");
        testing::writeText(parent.path() / "Tovalin/history/mainnet.json", "[]");
        EXPECT_EQ(BinaryLocator::resolveSupportDirectory(parent.path()),
                  parent.path() / "Corvanta");
        EXPECT_TRUE(fs::exists(parent.path() / "Tovalin/history/mainnet.json"));
    }
    {
        const TempDir parent;
        testing::writeText(parent.path() / "Tovalin/history/mainnet.json", "[]");
        EXPECT_EQ(BinaryLocator::resolveSupportDirectory(parent.path()),
                  parent.path() / "Corvanta");
        EXPECT_TRUE(fs::exists(parent.path() / "Corvanta/history/mainnet.json"));
        EXPECT_FALSE(fs::exists(parent.path() / "Tovalin"));
    }
    {
        // A folder cannot be renamed onto a (dangling) link: the old folder stays in use.
        const TempDir parent;
        testing::writeText(parent.path() / "Tovalin/history/mainnet.json", "[]");
        fs::create_symlink(parent.path() / "nowhere", parent.path() / "Corvanta");
        EXPECT_EQ(BinaryLocator::resolveSupportDirectory(parent.path()), parent.path() / "Tovalin");
        EXPECT_TRUE(fs::exists(parent.path() / "Tovalin/history/mainnet.json"));
    }
}

TEST(ApplicationBundleTest, TheRunningApplicationsResourcesLieBesideItsExecutable) {
    const ApplicationBundle& bundle = ApplicationBundle::main();
    ASSERT_TRUE(bundle.resourceDirectory.has_value());
    EXPECT_TRUE(fs::exists(*bundle.resourceDirectory / "NodeManagerTests"));
    // The build's recorded digest (if any) is what the bundle states for its node.
    const auto digest = BinaryLocator::expectedBitcoindRelease().sha256;
    EXPECT_EQ(bundle.info.contains(std::string(BinaryLocator::bundledNodeDigestInfoKey)),
              !digest.empty());
}

TEST(ApplicationBundleTest, AnInstalledProgramFindsItsResourcesInLibexecElseBesideItself) {
    const TempDir prefix;
    const fs::path bin = prefix.path() / "bin";
    fs::create_directories(bin);
    const fs::path relative = fs::path("..") / "libexec" / "corvanta";
    // The build folder's form: nothing installed beside it.
    EXPECT_EQ(ApplicationBundle::resourceDirectoryFor(bin, relative), bin);
    fs::create_directories(prefix.path() / "libexec" / "corvanta");
    EXPECT_EQ(ApplicationBundle::resourceDirectoryFor(bin, relative),
              prefix.path() / "libexec" / "corvanta");
    // A plain file of that name is no resource folder.
    const TempDir other;
    fs::create_directories(other.path() / "bin");
    fs::create_directories(other.path() / "libexec");
    testing::writeText(other.path() / "libexec" / "corvanta", "");
    EXPECT_EQ(ApplicationBundle::resourceDirectoryFor(other.path() / "bin", relative),
              other.path() / "bin");
}

class BundledNodeTest : public ::testing::Test {
  protected:
    BundledNodeTest() : env_("CORVANTA_SUPPORT_DIR", support_.path().string()) {
        bundle_.resourceDirectory = resources_.path();
    }

    fs::path installNode(bool executable) {
        const fs::path program = resources_.path() / "Node" / "bitcoind";
        testing::writeText(program, "#!/bin/sh\n");
        if (executable) fs::permissions(program, fs::perms::owner_all);
        return program;
    }

    TempDir support_;
    TempDir resources_;
    ScopedEnv env_;
    ApplicationBundle bundle_;
};

TEST_F(BundledNodeTest, UsesTheBundledProgramOnlyWhenItIsExecutable) {
    EXPECT_EQ(BinaryLocator::bundledBitcoindURL(bundle_), std::nullopt);
    const fs::path program = installNode(false);
    EXPECT_EQ(BinaryLocator::bundledBitcoindURL(bundle_), std::nullopt);
    EXPECT_EQ(BinaryLocator::bitcoindURL(bundle_), support_.path() / "bin/bitcoind");
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_EQ(BinaryLocator::bitcoindURL(bundle_), program);

    // A searchable folder with the program's name is no program.
    ApplicationBundle folderBundle{resources_.path() / "elsewhere", {}};
    fs::create_directories(resources_.path() / "elsewhere/Node/bitcoind");
    EXPECT_EQ(BinaryLocator::bundledBitcoindURL(folderBundle), std::nullopt);
}

TEST_F(BundledNodeTest, ExpectedReleaseTakesTheInfoDigestOnlyForTheBundledProgram) {
    const fs::path program = installNode(true);
    const std::string upper(64, 'A');
    bundle_.info[std::string(BinaryLocator::bundledNodeDigestInfoKey)] = upper;
    const BitcoindRelease compiledIn = BinaryLocator::expectedBitcoindRelease();
    EXPECT_EQ(compiledIn.version, "31.1");

    EXPECT_EQ(BinaryLocator::expectedRelease(program, bundle_), (BitcoindRelease{"31.1", upper}));
    // Compared after resolving "." and "..".
    const fs::path roundabout = resources_.path() / "Node/./../Node/bitcoind";
    EXPECT_EQ(BinaryLocator::expectedRelease(roundabout, bundle_).sha256, upper);
    // A program from the support directory is always checked against the compiled-in release.
    EXPECT_EQ(BinaryLocator::expectedRelease(support_.path() / "bin/bitcoind", bundle_),
              compiledIn);

    for (const json::Value& bad :
         {json::Value(std::string(63, 'a')), json::Value(std::string(65, 'a')), json::Value(42)}) {
        bundle_.info[std::string(BinaryLocator::bundledNodeDigestInfoKey)] = bad;
        EXPECT_EQ(BinaryLocator::expectedRelease(program, bundle_), compiledIn) << bad.dump();
    }
    bundle_.info = json::Value::object();
    EXPECT_EQ(BinaryLocator::expectedRelease(program, bundle_), compiledIn);
}

}  // namespace
}  // namespace corvanta

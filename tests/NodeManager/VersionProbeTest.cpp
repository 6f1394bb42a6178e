#include <gtest/gtest.h>

#include <chrono>

#include "TestSupport.h"
#include "corvanta/node/BinaryVersionProbe.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// The first lines of a real bitcoind 31.1's --version.
constexpr std::string_view kRealVersionOutput =
    "Bitcoin Core daemon version v31.1.0 bitcoind\n"
    "Copyright (C) 2009-2026 The Bitcoin Core developers\n\n"
    "Please contribute if you find Bitcoin Core useful.\n";

TEST(VersionParseTest, TakesTheWordAfterTheMarkerOnTheFirstLine) {
    EXPECT_EQ(BinaryVersionProbe::parseVersion(kRealVersionOutput), "31.1.0");
    EXPECT_EQ(BinaryVersionProbe::parseVersion("\n\nBitcoin Core version v30.0.0\n"), "30.0.0");
    EXPECT_EQ(BinaryVersionProbe::parseVersion("daemon version v  31.1.0\t\r\n"), "31.1.0");
    EXPECT_EQ(BinaryVersionProbe::parseVersion("Bitcoin Core Version v31.1.0\nversion v31.1.0\n"),
              std::nullopt);
    EXPECT_EQ(BinaryVersionProbe::parseVersion("daemon version v   \n"), std::nullopt);
    EXPECT_EQ(BinaryVersionProbe::parseVersion(""), std::nullopt);
    EXPECT_EQ(BinaryVersionProbe::parseVersion("\n\n"), std::nullopt);
}

class VersionProbeTest : public ::testing::Test {
  protected:
    std::filesystem::path script(std::string_view name, std::string_view body) {
        return testing::writeScript(dir_.path() / name, "#!/bin/sh\n" + std::string(body));
    }
    TempDir dir_;
};

TEST_F(VersionProbeTest, LabelsWhatTheProgramPrints) {
    const auto real = script("real",
                             "printf 'Bitcoin Core daemon version v31.1.0 bitcoind\\n"
                             "Copyright (C) 2009-2026\\n'\n");
    EXPECT_EQ(BinaryVersionProbe::probe(real, 3000ms), "Nœud 31.1.0");

    const auto silent = script("silent", "echo 'daemon version v31.1.0' >&2\n");
    EXPECT_EQ(BinaryVersionProbe::probe(silent, 3000ms),
              "version indéterminée (sortie inattendue de --version)");

    // Much more output than a pipe holds does not stall the probe.
    const auto chatty =
        script("chatty", "echo 'daemon version v31.1.0'; head -c 1000000 /dev/zero | tr '\\0' x\n");
    EXPECT_EQ(BinaryVersionProbe::probe(chatty, 3000ms), "Nœud 31.1.0");
}

TEST_F(VersionProbeTest, UnusableProgramsAndTimeouts) {
    testing::writeText(dir_.path() / "plain", "not a program");
    EXPECT_EQ(BinaryVersionProbe::probe(dir_.path() / "plain", 1000ms),
              "version indéterminée (binaire illisible)");
    EXPECT_EQ(BinaryVersionProbe::probe(dir_.path() / "missing", 1000ms),
              "version indéterminée (binaire illisible)");

    // Executable but not launchable: the platform's reason is named.
    const auto broken = testing::writeScript(dir_.path() / "broken", "#!/no/such/interpreter\n");
    const std::string label = BinaryVersionProbe::probe(broken, 1000ms);
    EXPECT_TRUE(label.starts_with("version indéterminée (")) << label;
    EXPECT_NE(label, "version indéterminée (sortie inattendue de --version)");

    const auto pidFile = dir_.path() / "pid";
    // It would print nothing and end after five minutes: the timeout's label is the timeout's.
    const auto slow = script("slow", "echo $$ > '" + pidFile.string() + "'\nexec sleep 300\n");
    EXPECT_EQ(BinaryVersionProbe::probe(slow, 300ms), "version indéterminée (délai dépassé)");
    EXPECT_TRUE(testing::allProcessesGone(pidFile, 0.0));  // reaped, not left behind

    // One that ignores SIGTERM is killed all the same, and so is what it started.
    const auto stubborn =
        script("stubborn", "trap '' TERM\necho $$ > '" + pidFile.string() +
                               "'\nsleep 30 &\necho $! >> '" + pidFile.string() + "'\nwait\n");
    EXPECT_EQ(BinaryVersionProbe::probe(stubborn, 300ms), "version indéterminée (délai dépassé)");
    EXPECT_TRUE(testing::allProcessesGone(pidFile, 30.0));
}

}  // namespace
}  // namespace corvanta

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "NodeHarness.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/node/NodeProcess.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::TempDir;

// Small stand-ins for bitcoind, written per test: each records its pid and finds its data
// directory and cookie path the way bitcoind does.
class NodeProcessTest : public ::testing::Test {
  protected:
    void TearDown() override {
        node_.reset();
        EXPECT_TRUE(testing::allProcessesGone(pidFile())) << "a node was left running";
    }

    fs::path pidFile() const { return dir_.path() / "node.pid"; }
    fs::path dataDirectory() const { return dir_.path() / "data dir"; }
    NodeConfiguration configuration() const {
        return NodeConfiguration(BitcoinNetwork::regtest, dataDirectory(), 0, std::nullopt,
                                 std::nullopt, false, true);
    }

    fs::path fakeNode(std::string_view body) {
        std::string script = R"(#!/bin/sh
if [ "$1" = --version ]; then echo 'Bitcoin Core daemon version v31.1.0 bitcoind'; exit 0; fi
echo $$ > 'PID_FILE'
for a in "$@"; do case "$a" in -datadir=*) datadir="${a#-datadir=}";; esac; done
cookie="$datadir/regtest/.cookie"
)";
        script.replace(script.find("PID_FILE"), 8, pidFile().string());
        return testing::writeScript(dir_.path() / "bitcoind", script + std::string(body));
    }

    NodeProcess& makeNode(std::string_view body, std::optional<BitcoindRelease> release = {},
                          NodeProcessTimings timings = {}) {
        node_ = std::make_unique<NodeProcess>(fakeNode(body), configuration(), std::move(release),
                                              timings);
        return *node_;
    }

    NodeProcessError::Kind startupFailure(NodeProcess& node) {
        node.start();
        return testing::kindOf([&] { node.waitForCookie(5s, {}); });
    }

    TempDir dir_;
    std::unique_ptr<NodeProcess> node_;
};

constexpr std::string_view kServing =
    "mkdir -p \"$datadir/regtest\"; sleep 0.2; echo user:pass > \"$cookie\"\n"
    "echo started\n"
    "exec sleep 60\n";

TEST_F(NodeProcessTest, LaunchesWaitsForTheCookieAndEndsOnRequest) {
    fs::create_directories(dataDirectory() / "regtest");
    testing::writeText(configuration().cookieURL(), "stale:cookie");
    NodeProcess& node = makeNode(kServing);
    EXPECT_FALSE(node.isRunning());

    node.start();
    EXPECT_TRUE(node.isRunning());
    EXPECT_FALSE(fs::exists(configuration().cookieURL()));  // the stale cookie went first
    EXPECT_EQ(node.waitForCookie(5s, {}), configuration().cookieURL());
    EXPECT_EQ(testing::readText(configuration().cookieURL()), "user:pass\n");

    // Own process group, so a Ctrl-C for the application does not reach the node.
    EXPECT_EQ(::getpgid(testing::lastPid(pidFile())), testing::lastPid(pidFile()));
    EXPECT_THROW(node.start(), NodeProcessError);  // one node at a time

    node.terminate();
    EXPECT_FALSE(node.isRunning());
    EXPECT_EQ(node.waitForTermination({}), NodeTerminationReason::requested());
    EXPECT_EQ(node.lastTerminationReason(), NodeTerminationReason::requested());
    EXPECT_THAT(node.recentOutput(), HasSubstr("started"));  // kept after the end
    EXPECT_GE(node.outputHandlerInvocations(), 1);
}

TEST_F(NodeProcessTest, AnEarlyExitReportsItsStatusAndTheTailOfItsOutput) {
    // The tail counts characters, not bytes; the last words printed before the exit are kept.
    NodeProcess& node =
        makeNode("python3 -c \"import sys; sys.stdout.write('é' * 70000 + 'END')\"; exit 2\n");
    std::string expected;
    for (int i = 0; i < 65533; ++i) expected += "é";
    expected += "END";
    EXPECT_EQ(startupFailure(node),
              NodeProcessError::Kind(NodeProcessError::ExitedDuringStartup{2, expected}));
    EXPECT_EQ(node.recentOutput(), expected);
    EXPECT_EQ(node.waitForTermination({}), NodeTerminationReason::unexpected(2));
}

TEST_F(NodeProcessTest, VerifiesTheProgramBeforeEveryLaunch) {
    const fs::path program = fakeNode(kServing);
    const std::string actual = BinaryIntegrity::sha256Hex(program);
    node_ = std::make_unique<NodeProcess>(program, configuration(),
                                          BitcoindRelease{"31.1", std::string(64, 'A')});
    EXPECT_EQ(testing::kindOf([&] { node_->start(); }),
              NodeProcessError::Kind(NodeProcessError::IntegrityMismatch{
                  "31.1", std::string(64, 'a'), actual, "Nœud 31.1.0"}));
    EXPECT_FALSE(node_->holdsProcess());
    EXPECT_FALSE(fs::exists(pidFile()));  // never launched

    std::string upper = actual;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    node_ = std::make_unique<NodeProcess>(program, configuration(), BitcoindRelease{"31.1", upper});
    node_->start();
    node_->waitForCookie(5s, {});
    node_->terminate();
}

TEST_F(NodeProcessTest, RefusesWhatItCannotDo) {
    NodeProcess missing(dir_.path() / "no-bitcoind", configuration(), std::nullopt);
    EXPECT_EQ(testing::kindOf([&] { missing.start(); }),
              NodeProcessError::Kind(
                  NodeProcessError::BinaryMissing{(dir_.path() / "no-bitcoind").string()}));
    EXPECT_THROW(missing.waitForCookie(1s, {}), NodeProcessError);
    const auto started = std::chrono::steady_clock::now();
    missing.terminate();  // idle: returns at once
    EXPECT_EQ(missing.waitForTermination({}), NodeTerminationReason::requested());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

TEST_F(NodeProcessTest, CookieTimeoutLeavesTheNodeToItsCaller) {
    NodeProcess& node = makeNode("exec sleep 60\n");
    node.start();
    EXPECT_EQ(testing::kindOf([&] { node.waitForCookie(300ms, {}); }),
              NodeProcessError::Kind(
                  NodeProcessError::CookieTimeout{configuration().cookieURL().string()}));
    EXPECT_TRUE(node.isRunning());

    node.terminate();
    // SIGTERM ended it, but the system asked for that.
    EXPECT_EQ(node.waitForTermination({}), NodeTerminationReason::requested());
}

TEST_F(NodeProcessTest, TheNodeInheritsNoneOfTheApplicationsSignalSettings) {
    // The caller blocks SIGTERM (as a signalfd-based shutdown handler would) and ignores it; the
    // node must inherit neither, or terminate() would wait for ever. Python keeps what it
    // inherits (a shell would reset its mask), so it stands in for bitcoind here.
    sigset_t blockTerm;
    sigemptyset(&blockTerm);
    sigaddset(&blockTerm, SIGTERM);
    sigset_t previousMask;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blockTerm, &previousMask), 0);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    ::sigaction(SIGTERM, &ignore, &previousAction);
    NodeProcess& node = makeNode(
        "exec python3 -c \"import os, time; os.makedirs(os.path.dirname('$cookie'), "
        "exist_ok=True); open('$cookie', 'w').write('u:p'); time.sleep(60)\"\n");
    node.start();
    ::sigaction(SIGTERM, &previousAction, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    node.waitForCookie(5s, {});

    std::stop_source giveUp;
    std::jthread watchdog([&](std::stop_token done) {
        if (sleepFor(5s, done)) giveUp.request_stop();
    });
    node.terminate(giveUp.get_token());
    EXPECT_FALSE(node.holdsProcess()) << "SIGTERM did not end the node";
    watchdog.request_stop();
    if (node.holdsProcess()) ::kill(testing::lastPid(pidFile()), SIGKILL);
}

TEST_F(NodeProcessTest, ANodeDoesNotOutliveItsOwner) {
    NodeProcessTimings timings;
    timings.abandonGrace = 300ms;
    // Ignores SIGTERM: only the owner's last resort ends it.
    NodeProcess& node = makeNode("trap '' TERM\nwhile :; do sleep 0.05; done\n", {}, timings);
    node.start();
    while (!fs::exists(pidFile())) std::this_thread::sleep_for(10ms);
    node_.reset();
    EXPECT_TRUE(testing::allProcessesGone(pidFile(), 0.0));
}

}  // namespace
}  // namespace corvanta

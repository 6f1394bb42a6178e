#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "NodeHarness.h"
#include "NodeLaunchRecord.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/node/NodeController.h"
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

    // How a node that ends during its start fails: its end, not the wait's bound, ends the wait.
    NodeProcessError::Kind startupFailure(NodeProcess& node) {
        node.start();
        return testing::kindOf([&] { node.waitForCookie(testing::patience, {}); });
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

TEST_F(NodeProcessTest, ARunningNodeIsNamedBesideItsDataFolderUntilItEnds) {
    const fs::path record = NodeLaunchRecord::location(dataDirectory());
    testing::writeText(record, "{\"node\": {\"pid\": ");  // damaged: set aside, no obstacle
    NodeProcess& node = makeNode(kServing);
    node.start();
    node.waitForCookie(5s, {});
    const auto written = NodeLaunchRecord::read(record);
    ASSERT_TRUE(written.has_value());
    const auto notices = node.takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_THAT(notices[0], HasSubstr("could not be decoded: it was set aside as"));
    EXPECT_TRUE(node.takeNotices().empty());
    EXPECT_EQ(written->node.pid, testing::lastPid(pidFile()));
    EXPECT_EQ(written->dataDirectory, dataDirectory());
    EXPECT_EQ(written->launcher, ProcessInfo::self());
    node.terminate();
    EXPECT_FALSE(fs::exists(record));

    // A node that ends on its own is forgotten just the same.
    node.start();
    node.waitForCookie(5s, {});
    ASSERT_TRUE(fs::exists(record));
    ::kill(testing::lastPid(pidFile()), SIGKILL);
    node.waitForTermination({});
    EXPECT_FALSE(fs::exists(record));
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

TEST_F(NodeProcessTest, OnlyADataDirectoryLockIsALockConflict) {
    // A port it cannot bind ends with the same "probably already running" as a held lock.
    const std::string lock = "Error: Cannot obtain a lock on directory /d/regtest.";
    const std::string running = "Error: Other words. Bitcoin Core is probably already running.";
    const std::string bind =
        "Error: Unable to bind to 127.0.0.1:18445 on this computer. Bitcoin Core is probably "
        "already running.\nError: Failed to listen on any port. Use -listen=0 if you want this.";
    const NodeProcessError::Kind lockConflict =
        NodeProcessError::LockConflict{dataDirectory().string()};
    const struct {
        std::string output;
        NodeProcessError::Kind expected;
    } cases[] = {
        {lock, lockConflict},
        {running, lockConflict},
        {bind + "\n" + running, lockConflict},
        {bind, NodeProcessError::ExitedDuringStartup{1, bind + "\n"}},
    };
    for (const auto& c : cases) {
        NodeProcess& node = makeNode("printf '%s\\n' '" + c.output + "'; exit 1\n");
        EXPECT_EQ(startupFailure(node), c.expected) << c.output;
    }
}

// A node quick to refuse may be gone, its end handled, before the wait for its cookie begins (a
// loaded machine lets the launcher's thread wait that long): it still says why. Only a launch whose
// end was asked for is nothing to wait for.
TEST_F(NodeProcessTest, ANodeThatEndedBeforeTheWaitStillSaysWhy) {
    const struct {
        std::string body;
        NodeProcessError::Kind expected;
    } cases[] = {
        {"echo 'Error: Cannot obtain a lock on directory /d/regtest.'; exit 1\n",
         NodeProcessError::LockConflict{dataDirectory().string()}},
        {"echo 'Error: unknown option'; exit 3\n",
         NodeProcessError::ExitedDuringStartup{3, "Error: unknown option\n"}},
    };
    for (const auto& c : cases) {
        NodeProcess& node = makeNode(c.body);
        node.start();
        ASSERT_TRUE(testing::eventually([&] { return !node.holdsProcess(); }));
        EXPECT_EQ(testing::kindOf([&] { node.waitForCookie(testing::patience, {}); }), c.expected)
            << c.body;
    }
    NodeProcess& stopped = makeNode(kServing);
    stopped.start();
    stopped.terminate();
    EXPECT_EQ(testing::kindOf([&] { stopped.waitForCookie(testing::patience, {}); }),
              NodeProcessError::Kind(NodeProcessError::NotRunning{}));
}

TEST_F(NodeProcessTest, AControllerExplainsANodeThatGoesAwayAfterItsCookie) {
    // Nothing listens on the reserved RPC port: every call to these nodes is refused.
    const testing::ReservedPorts port;
    const NodeConfiguration config(BitcoinNetwork::regtest, dataDirectory(), 0, port.first(),
                                   port.first() + 1, false, false);
    NodeControllerTimings timings;
    timings.warmupRetry = 20ms;
    timings.process.cookiePoll = 20ms;
    constexpr std::string_view cookie = "mkdir -p \"$datadir/regtest\"; echo u:p > \"$cookie\"\n";
    // A cookie that cannot be read: a folder in its place.
    constexpr std::string_view folderCookie = "mkdir -p \"$cookie\"\n";
    const struct {
        std::string body;
        std::function<void(const std::function<void()>&)> check;
    } cases[] = {
        // Dies while its connections are refused: its own reason, not a transport error.
        {std::string(cookie) + "echo 'going away'; sleep 0.3; exit 5\n",
         [](const std::function<void()>& start) {
             EXPECT_EQ(
                 testing::kindOf(start),
                 NodeProcessError::Kind(NodeProcessError::ExitedDuringStartup{5, "going away\n"}));
         }},
        // Alive but refusing: not answering yet, until the warm-up timeout.
        {std::string(cookie) + "exec sleep 60\n",
         [](const std::function<void()>& start) {
             const auto started = std::chrono::steady_clock::now();
             EXPECT_EQ(testing::kindOf(start),
                       NodeProcessError::Kind(NodeProcessError::WarmupTimeout{}));
             EXPECT_GE(std::chrono::steady_clock::now() - started, 400ms);
         }},
        // Its cookie went with it.
        {std::string(folderCookie) + "echo 'gone'; sleep 0.3; exit 6\n",
         [](const std::function<void()>& start) {
             EXPECT_EQ(testing::kindOf(start),
                       NodeProcessError::Kind(NodeProcessError::ExitedDuringStartup{6, "gone\n"}));
         }},
        // An unreadable cookie of a node that lives on stays what it is.
        {std::string(folderCookie) + "exec sleep 60\n",
         [](const std::function<void()>& start) { EXPECT_THROW(start(), RPCTransportError); }},
    };
    for (const auto& c : cases) {
        fs::remove_all(dataDirectory());
        NodeController controller(fakeNode(c.body), config, std::nullopt, timings);
        c.check([&] { controller.startAndConnect(10s, 400ms, {}); });
        EXPECT_TRUE(controller.isStopped()) << c.body;
        EXPECT_TRUE(testing::allProcessesGone(pidFile())) << c.body;
    }
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
    // Idle: nothing to wait for, so both return long before the tests' patience runs out (a
    // wait for a node would last the minute of its stop grace).
    auto ended = std::async(std::launch::async, [&] {
        missing.terminate();
        return missing.waitForTermination({});
    });
    ASSERT_EQ(ended.wait_for(testing::patience), std::future_status::ready);
    EXPECT_EQ(ended.get(), NodeTerminationReason::requested());
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

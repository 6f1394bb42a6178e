#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "NodeHarness.h"
#include "NodeLaunchRecord.h"
#include "ProcessInfo.h"
#include "corvanta/node/NodeProcessError.h"

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

// What becomes of a node whose launcher ends without stopping it: a launcher in another process
// (a helper program, as the application) starts the node through the controller and is killed.
namespace corvanta {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::kindOf;

std::int64_t blockCount(const RPCClient& client) {
    return json::as<std::int64_t>(client.call("getblockcount", {}, 30, {}));
}

// The block count once the node has finished its own start-up (it answers -28 until then).
std::int64_t warmedUpBlockCount(const RPCClient& client) {
    for (;;) {
        try {
            return blockCount(client);
        } catch (const RPCError& error) {
            if (error.code() != -28) throw;
        }
        std::this_thread::sleep_for(20ms);
    }
}

void mineOneBlock(const RPCClient& client) {
    client.call("generatetodescriptor", {RPCParam::integer(1), RPCParam::string("raw(51)")}, 30,
                {});
}

class NodeLifeTest : public testing::NodeHarness {
  protected:
    void SetUp() override {
        NodeHarness::SetUp();
        // A node whose launcher is killed comes to this process, which reaps it: none is left
        // as a zombie of a system that may never reap it.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void TearDown() override {
        // A node a failed test left behind is ended here, as cleanly as anywhere.
        for (const pid_t pid : orphans_) {
            if (ProcessInfo::liveIdentity(pid)) ::kill(pid, SIGTERM);
            awaitOrphanEnd(pid, NodeControllerTimings{}.stopGrace);
        }
        NodeHarness::TearDown();
    }

    // Starts the helper that launches a node on `configuration` through a controller of its own,
    // and returns once that node answers. The node gets SIGTERM when the helper ends, unless it
    // is to outlive it.
    ChildProcess launchThroughHelper(const NodeConfiguration& configuration, bool outlives) {
        Pipe output = Pipe::make();
        ChildProcess helper = ChildProcess::spawn(
            CORVANTA_NODE_LAUNCH_HELPER,
            {launcher_.string(), configuration.dataDirectory.string(),
             std::to_string(configuration.rpcPort), std::to_string(configuration.p2pPort),
             outlives ? "outlives-launcher" : "ends-with-launcher"},
            output.writeEnd.get(), -1);
        output.writeEnd.reset();
        std::string said;
        char c = 0;
        while (said.find('\n') == std::string::npos && ::read(output.readEnd.get(), &c, 1) == 1) {
            said += c;
        }
        EXPECT_EQ(said, "ready\n") << "the helper could not launch its node";
        return helper;
    }

    // The node the launch record names, once its launcher has been killed (and reaped).
    ProcessIdentity killLauncher(ChildProcess& helper, const NodeConfiguration& configuration) {
        const auto record =
            NodeLaunchRecord::read(NodeLaunchRecord::location(configuration.dataDirectory));
        EXPECT_TRUE(record.has_value()) << "no launch record beside the data folder";
        helper.sendSignal(SIGKILL);
        helper.reap();
        if (!record) return {};
        orphans_.push_back(record->node.pid);
        return record->node;
    }

    // Waits up to `limit` for a node that has come to this process to end, and reaps it: how it
    // ended, none while it runs on.
    static std::optional<siginfo_t> awaitOrphanEnd(pid_t pid,
                                                   std::chrono::steady_clock::duration limit) {
        const int pidfd = ::pidfd_open(pid, 0);
        if (pidfd < 0) return std::nullopt;
        pollfd ended{pidfd, POLLIN, 0};
        const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
        std::optional<siginfo_t> end;
        if (::poll(&ended, 1, static_cast<int>(millis)) == 1) {
            siginfo_t info{};
            if (::waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED) == 0) end = info;
        }
        ::close(pidfd);
        return end;
    }

    std::vector<pid_t> orphans_;
};

TEST_F(NodeLifeTest, AKilledLauncherTakesItsNodeDownCleanlyWithinTheStopTimeout) {
    const NodeConfiguration configuration = this->configuration(dataDirectory());
    ChildProcess helper = launchThroughHelper(configuration, false);
    const ProcessIdentity node = killLauncher(helper, configuration);
    ASSERT_NE(node.pid, 0);

    const auto end = awaitOrphanEnd(node.pid, NodeControllerTimings{}.stopGrace);
    ASSERT_TRUE(end.has_value()) << "the node outlived its launcher";
    // It shut down as after a stop of ours: an exit of its own, not a kill.
    EXPECT_EQ(end->si_code, CLD_EXITED);
    EXPECT_EQ(end->si_status, 0);

    // What the dead launch left beside the folder does not hold up the next one.
    NodeController& next = makeController(std::nullopt, dataDirectory());
    next.startAndConnect(30s, 30s, {});
    const auto record = NodeLaunchRecord::read(NodeLaunchRecord::location(dataDirectory()));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->launcher, ProcessInfo::self());
    next.stop();
    EXPECT_FALSE(fs::exists(NodeLaunchRecord::location(dataDirectory())));
}

TEST_F(NodeLifeTest, ALeftoverNodeOfOursIsStoppedCleanlyAndTheNextLaunchMines) {
    // A leftover is known by the program it runs: a script's is its interpreter, never the node
    // program, so the test node's leftover is (rightly) a conflict. The shipped node's run covers
    // this.
    if (usingTestNode()) GTEST_SKIP() << "the test node runs as a script";
    const NodeConfiguration configuration = this->configuration(dataDirectory());
    ChildProcess helper = launchThroughHelper(configuration, true);
    {
        // A block only the leftover holds: its clean stop must keep it.
        const RPCClient leftover(configuration.rpcEndpoint(),
                                 RPCCredentials::readingCookie(configuration.cookieURL()));
        mineOneBlock(leftover);
    }
    const ProcessIdentity node = killLauncher(helper, configuration);
    ASSERT_NE(node.pid, 0);
    ASSERT_TRUE(ProcessInfo::isLive(node)) << "left without its death signal, it runs on";

    // On other ports than the leftover's: its own are read from its command line.
    // The node program itself, as the application runs it, not the harness's launcher script.
    NodeController next(testing::nodeProgram(), this->configuration(dataDirectory()), std::nullopt,
                        fastTimings());
    const auto client = next.startAndConnect(30s, 30s, {});
    const auto end = awaitOrphanEnd(node.pid, 0s);
    ASSERT_TRUE(end.has_value()) << "the leftover still runs beside the new node";
    EXPECT_EQ(end->si_code, CLD_EXITED);
    EXPECT_EQ(end->si_status, 0);

    next.awaitReadyToMine(50ms, {}, {});
    EXPECT_EQ(blockCount(*client), 1);
    mineOneBlock(*client);
    EXPECT_EQ(blockCount(*client), 2);
    const auto record = NodeLaunchRecord::read(NodeLaunchRecord::location(dataDirectory()));
    ASSERT_TRUE(record.has_value());
    EXPECT_NE(record->node, node);
    next.stop();
}

TEST_F(NodeLifeTest, AFolderHeldByANodeStartedOutsideTheApplicationIsStillAConflict) {
    const NodeConfiguration foreignConfiguration = configuration(dataDirectory());
    fs::create_directories(dataDirectory());
    ChildProcess foreign = ChildProcess::spawn(launcher_, foreignConfiguration.arguments(), -1, -1);
    while (!fs::exists(foreignConfiguration.cookieURL())) {
        ASSERT_FALSE(foreign.tryReap().has_value()) << "the foreign node did not start";
        std::this_thread::sleep_for(20ms);
    }
    const auto foreignNode = ProcessInfo::liveIdentity(foreign.pid());
    ASSERT_TRUE(foreignNode.has_value());
    const RPCClient foreignClient(foreignConfiguration.rpcEndpoint(),
                                  RPCCredentials::readingCookie(foreignConfiguration.cookieURL()));
    EXPECT_EQ(warmedUpBlockCount(foreignClient), 0);
    // A record whose node had the foreign node's pid, from a launch whose launcher is gone: an
    // earlier process, not this one.
    const ProcessIdentity self = ProcessInfo::self();
    NodeLaunchRecord{{foreignNode->pid, foreignNode->startTime + 1},
                     ProcessInfo::executable(foreign.pid()).value(),
                     dataDirectory(),
                     {self.pid, self.startTime + 1}}
        .write(NodeLaunchRecord::location(dataDirectory()));

    NodeController& ours = makeController(std::nullopt, dataDirectory());
    try {
        ours.startAndConnect(30s, 30s, {});
        ADD_FAILURE() << "a second node started on a held folder";
    } catch (const NodeProcessError& error) {
        EXPECT_EQ(error.kind(),
                  NodeProcessError::Kind(NodeProcessError::LockConflict{dataDirectory().string()}));
        EXPECT_THAT(error.what(), ::testing::HasSubstr("Un nœud Bitcoin semble déjà tourner"));
    }
    EXPECT_TRUE(ours.isStopped());
    // The foreign node was left alone.
    EXPECT_EQ(blockCount(foreignClient), 0);
    EXPECT_TRUE(ProcessInfo::isLive(*foreignNode));
    foreign.sendSignal(SIGTERM);
    EXPECT_EQ(foreign.reap(), 0);
}

}  // namespace
}  // namespace corvanta

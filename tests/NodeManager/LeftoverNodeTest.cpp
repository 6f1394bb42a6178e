#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "LeftoverNode.h"
#include "NodeLaunchRecord.h"
#include "ProcessInfo.h"
#include "TestSupport.h"
#include "corvanta/node/BinaryIntegrity.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::TempDir;

// Reads `child`'s output up to and including the next line; empty at its end.
std::string nextLine(int fd) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1) {
        line += c;
        if (c == '\n') break;
    }
    return line;
}

// A stand-in for a node: a Python process (no children of its own) whose command line names a
// data folder and an RPC port, as bitcoind's does. It says "ready" once it runs its code.
struct StandIn {
    Pipe output = Pipe::make();
    std::optional<ChildProcess> process;

    StandIn(const fs::path& dataDirectory, int rpcPort, const std::string& code = "") {
        const std::string program = "import signal, sys, time\n" + code +
                                    "print('ready', flush=True)\n"
                                    "while True: time.sleep(1)\n";
        process.emplace(ChildProcess::spawn(
            "/bin/sh",
            {"-c", "exec python3 -c \"$0\" \"$@\"", program, "-datadir=" + dataDirectory.string(),
             "-rpcport=" + std::to_string(rpcPort)},
            output.writeEnd.get(), -1));
        output.writeEnd.reset();
        EXPECT_EQ(nextLine(output.readEnd.get()), "ready\n");
    }
    ~StandIn() {
        if (process && !process->reaped()) {
            process->sendSignal(SIGKILL);
            process->reap();
        }
    }

    pid_t pid() const { return process->pid(); }
    ProcessIdentity identity() const { return ProcessInfo::liveIdentity(pid()).value(); }
};

class LeftoverNodeTest : public ::testing::Test {
  protected:
    NodeConfiguration configuration() const {
        return NodeConfiguration(BitcoinNetwork::regtest, dataDirectory(), 0, ports_.first(),
                                 ports_.first() + 1, false, false);
    }
    fs::path dataDirectory() const { return dir_.path() / "regtest"; }
    fs::path recordFile() const { return NodeLaunchRecord::location(dataDirectory()); }
    // The stand-ins run Python: it is the node program of these launches.
    static fs::path programOf(const StandIn& node) {
        return ProcessInfo::executable(node.pid()).value();
    }

    // The record a launch of `node` would have written, by a launcher that has ended since: this
    // process's pid with another start time is an earlier process, gone.
    NodeLaunchRecord recordOf(const StandIn& node) const {
        const ProcessIdentity self = ProcessInfo::self();
        return NodeLaunchRecord{node.identity(), ProcessInfo::executable(node.pid()).value(),
                                dataDirectory(), ProcessIdentity{self.pid, self.startTime + 1}};
    }

    TempDir dir_;
    // Nothing listens there: the RPC "stop" fails and SIGTERM does the stopping.
    testing::ReservedPorts ports_{2};
};

TEST_F(LeftoverNodeTest, ANodeOfOursWhoseLauncherIsGoneIsStoppedBySigterm) {
    StandIn node(dataDirectory(), ports_.first());
    recordOf(node).write(recordFile());

    auto leftover = LeftoverNode::find(configuration(), programOf(node), std::nullopt);
    ASSERT_TRUE(leftover.has_value());
    EXPECT_EQ(leftover->identity(), node.identity());
    EXPECT_TRUE(leftover->stop(30s, 20ms, 5, {}));
    EXPECT_EQ(node.process->reap(), SIGTERM);
    EXPECT_FALSE(fs::exists(recordFile()));
}

TEST_F(LeftoverNodeTest, AnyOtherProcessIsNoLeftover) {
    StandIn node(dataDirectory(), ports_.first());
    StandIn elsewhere(dir_.path() / "other", ports_.first());
    const NodeLaunchRecord ours = recordOf(node);
    const fs::path program = programOf(node);
    const auto expectNone = [&](const NodeLaunchRecord& record, const char* why) {
        record.write(recordFile());
        EXPECT_FALSE(LeftoverNode::find(configuration(), program, std::nullopt).has_value()) << why;
    };

    NodeLaunchRecord changed = ours;
    changed.launcher = ProcessInfo::self();
    expectNone(changed, "its launcher still runs");
    changed = ours;
    changed.node.startTime += 1;
    expectNone(changed, "another process that had its pid");
    changed = ours;
    changed.program = "/usr/lib/other/bitcoind";
    expectNone(changed, "another program");
    changed = ours;
    changed.dataDirectory = dir_.path() / "other";
    expectNone(changed, "recorded for another folder");
    changed = recordOf(elsewhere);
    changed.dataDirectory = dataDirectory();
    expectNone(changed, "running for another folder");
    changed = ours;
    changed.node = ProcessInfo::self();
    changed.program = ProcessInfo::executable(::getpid()).value();
    expectNone(changed, "this very process");
    testing::writeText(recordFile(), "{\"node\":");
    EXPECT_FALSE(LeftoverNode::find(configuration(), program, std::nullopt).has_value())
        << "a damaged record";

    // Ended but not reaped yet: a zombie holds no folder.
    node.process->sendSignal(SIGKILL);
    pollfd ended{node.process->pidfd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ended, 1, -1), 1);
    // As a launch does: the damaged record set aside before a record is written in its place.
    EXPECT_TRUE(NodeLaunchRecord::setAsideIfUnusable(recordFile()));
    ours.write(recordFile());
    EXPECT_FALSE(LeftoverNode::find(configuration(), program, std::nullopt).has_value())
        << "an ended node";
    EXPECT_TRUE(ProcessInfo::isLive(elsewhere.identity()));  // nothing was signalled
}

TEST_F(LeftoverNodeTest, ALeftoverThatWillNotGoIsLeftRunningNeverKilled) {
    StandIn node(dataDirectory(), ports_.first(),
                 "signal.signal(signal.SIGTERM, signal.SIG_IGN)\n");
    recordOf(node).write(recordFile());
    auto leftover = LeftoverNode::find(configuration(), programOf(node), std::nullopt);
    ASSERT_TRUE(leftover.has_value());
    EXPECT_FALSE(leftover->stop(100ms, 20ms, 5, {}));
    EXPECT_TRUE(ProcessInfo::isLive(node.identity()));
    EXPECT_TRUE(fs::exists(recordFile()));
}

// A record is input like any file: naming a process of the user's that runs anything but this
// launch's node program (a script given the folder's "-datadir=") gets that process neither a
// signal nor an RPC call; a node program replaced since by one with the shipped digest still is.
TEST_F(LeftoverNodeTest, OnlyAProcessRunningOurNodeProgramIsOurs) {
    StandIn script(dataDirectory(), ports_.first());
    recordOf(script).write(recordFile());
    const fs::path shipped = dir_.path() / "bin" / "bitcoind";
    fs::create_directories(shipped.parent_path());
    testing::writeText(shipped, "#!/bin/sh\n");
    EXPECT_FALSE(LeftoverNode::find(configuration(), shipped, std::nullopt).has_value());
    EXPECT_FALSE(LeftoverNode::find(configuration(), shipped, BinaryIntegrity::sha256Hex(shipped))
                     .has_value());
    EXPECT_TRUE(ProcessInfo::isLive(script.identity()));

    fs::copy_file(programOf(script), shipped, fs::copy_options::overwrite_existing);
    auto sameDigest =
        LeftoverNode::find(configuration(), shipped, BinaryIntegrity::sha256Hex(programOf(script)));
    ASSERT_TRUE(sameDigest.has_value());
    EXPECT_TRUE(sameDigest->stop(30s, 20ms, 5, {}));
    EXPECT_EQ(script.process->reap(), SIGTERM);
}

// The death signal is sent when the thread that forked a child ends: children must come from a
// thread that lives as long as the process, whichever thread asks for them.
TEST(ChildProcessTest, AChildOutlivesTheThreadThatAskedForIt) {
    Pipe output = Pipe::make();
    std::optional<ChildProcess> child;
    pid_t asker = 0;
    std::thread([&] {
        asker = static_cast<pid_t>(::syscall(SYS_gettid));
        child.emplace(ChildProcess::spawn("/bin/sh",
                                          {"-c", "while :; do echo tick; sleep 0.01; done"},
                                          output.writeEnd.get(), -1));
    }).join();
    output.writeEnd.reset();
    // Once the thread is wholly gone, any death signal for it has been sent.
    const fs::path task = "/proc/self/task/" + std::to_string(asker);
    while (fs::exists(task)) std::this_thread::sleep_for(5ms);
    // Whatever it printed before, a tick printed after that shows it still runs.
    const int fd = output.readEnd.get();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::array<char, 4096> drained{};
    while (::read(fd, drained.data(), drained.size()) > 0) {
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    nextLine(fd);  // completes a tick the draining may have cut
    EXPECT_EQ(nextLine(fd), "tick\n");
    EXPECT_FALSE(child->tryReap().has_value());
    child->sendSignal(SIGTERM);
    child->reap();
}

}  // namespace
}  // namespace corvanta

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "NodeHarness.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/Cancelled.h"

// Behaviour of a standard bitcoind on regtest, run as the node program.
namespace corvanta {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::HasSubstr;

class NodeControllerTest : public testing::NodeHarness {};
using testing::kindOf;

// Waits on another thread for the node to end on its own; a stop of the thread cancels the wait.
std::jthread watchForDeath(NodeController& controller, std::promise<std::int32_t>& died) {
    return std::jthread([&controller, &died](std::stop_token stop) {
        try {
            died.set_value(controller.waitForUnexpectedTermination(stop));
        } catch (const Cancelled&) {
            died.set_exception(std::current_exception());
        }
    });
}

TEST_F(NodeControllerTest, StartsConnectsReportsAndStopsByRPC) {
    NodeController& controller = makeController();
    EXPECT_TRUE(controller.isStopped());
    EXPECT_EQ(controller.currentClient(), nullptr);

    const auto client = controller.startAndConnect(30s, 30s, {});
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(controller.currentClient(), client);
    EXPECT_FALSE(controller.isStopped());
    EXPECT_EQ(controller.status({}).chain, "regtest");
    EXPECT_EQ(controller.peerCount({}), 0);
    EXPECT_THAT(controller.node().recentOutput(), HasSubstr("version v31.1.0"));

    // A stop the system asked for is no death to report.
    std::promise<std::int32_t> died;
    std::jthread watch = watchForDeath(controller, died);
    controller.stop();
    EXPECT_TRUE(controller.isStopped());
    EXPECT_EQ(controller.currentClient(), nullptr);
    EXPECT_EQ(controller.node().lastTerminationReason(), NodeTerminationReason::requested());
    auto death = died.get_future();
    EXPECT_EQ(death.wait_for(300ms), std::future_status::timeout);
    watch.request_stop();
    EXPECT_THROW(death.get(), Cancelled);

    EXPECT_EQ(kindOf([&] { controller.status({}); }),
              NodeProcessError::Kind(NodeProcessError::NotRunning{}));
    controller.stop();  // a second stop is harmless
}

TEST_F(NodeControllerTest, ASecondNodeOnTheSameDataDirectoryIsALockConflict) {
    NodeController& first = makeController();
    first.startAndConnect(30s, 30s, {});
    NodeController& second = makeController();
    EXPECT_EQ(kindOf([&] { second.startAndConnect(30s, 30s, {}); }),
              NodeProcessError::Kind(NodeProcessError::LockConflict{dataDirectory().string()}));
    EXPECT_TRUE(second.isStopped());
    EXPECT_EQ(first.status({}).chain, "regtest");  // the first node is untouched
    first.stop();
}

// A TCP socket of this test bound to host:port, listening or connected; -1 when that fails.
int tcpSocket(in_addr_t host, int port, bool listening) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(host);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    const bool done =
        fd >= 0 && (listening ? ::bind(fd, raw, sizeof(address)) == 0 && ::listen(fd, 1) == 0
                              : ::connect(fd, raw, sizeof(address)) == 0);
    if (done) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

TEST_F(NodeControllerTest, AListeningNodeWhoseP2PPortIsHeldSaysWhyItStopped) {
    NodeController& blocked = makeController(std::nullopt, dataDirectory() / "blocked", true);
    const int p2pPort = blocked.configuration().p2pPort;
    const int holder = tcpSocket(INADDR_ANY, p2pPort, true);
    ASSERT_GE(holder, 0);
    try {
        blocked.startAndConnect(30s, 30s, {});
        ADD_FAILURE() << "the node started on a held port";
    } catch (const NodeProcessError& error) {
        const auto* exited = std::get_if<NodeProcessError::ExitedDuringStartup>(&error.kind());
        ASSERT_NE(exited, nullptr) << error.what();
        EXPECT_EQ(exited->status, 1);
        const std::string bindLine = "Unable to bind to 0.0.0.0:" + std::to_string(p2pPort) +
                                     " on this computer. Bitcoin Core is probably already running.";
        EXPECT_THAT(exited->output, HasSubstr(bindLine));
        EXPECT_THAT(error.what(), ::testing::StartsWith(
                                      "Le nœud s'est arrêté pendant le démarrage (code 1) :\n"));
    }
    ::close(holder);
    EXPECT_TRUE(blocked.isStopped());
    EXPECT_EQ(blocked.currentClient(), nullptr);

    // With its ports free, a listening node takes connections on its P2P port.
    NodeController& listening = makeController(std::nullopt, dataDirectory() / "listening", true);
    listening.startAndConnect(30s, 30s, {});
    const int peer = tcpSocket(INADDR_LOOPBACK, listening.configuration().p2pPort, false);
    EXPECT_GE(peer, 0) << "nothing listens on the P2P port";
    if (peer >= 0) ::close(peer);
    listening.stop();
}

TEST_F(NodeControllerTest, RestartConnectsANewNodeAndTheWatchFollowsIt) {
    NodeController& controller = makeController();
    const auto firstClient = controller.startAndConnect(30s, 30s, {});
    const pid_t firstPid = testing::lastPid(pidFile());

    std::promise<std::int32_t> died;
    std::jthread watch = watchForDeath(controller, died);
    const auto secondClient = controller.restart(30s, 30s, {});
    EXPECT_NE(secondClient, firstClient);
    EXPECT_EQ(controller.currentClient(), secondClient);
    EXPECT_NE(testing::lastPid(pidFile()), firstPid);
    EXPECT_FALSE(testing::processExists(firstPid));
    EXPECT_EQ(controller.status({}).chain, "regtest");

    auto death = died.get_future();
    EXPECT_EQ(death.wait_for(300ms), std::future_status::timeout);  // the restart was asked for
    ::kill(testing::lastPid(pidFile()), SIGKILL);
    ASSERT_EQ(death.wait_for(testing::patience), std::future_status::ready);
    EXPECT_EQ(death.get(), SIGKILL);
    EXPECT_TRUE(controller.isStopped());
    controller.stop();
}

TEST_F(NodeControllerTest, ReadyToMineOnRegtestOnceSyncedWithoutPeers) {
    NodeController& controller = makeController();
    const auto client = controller.startAndConnect(30s, 30s, {});
    std::atomic<int> polls{0};
    auto ready = std::async(std::launch::async, [&] {
        controller.awaitReadyToMine(50ms, [&](const ChainStatus&) { ++polls; }, {});
    });
    // A fresh chain is in initial block download: the wait goes on, reporting each poll, however
    // slowly a loaded machine polls.
    ASSERT_TRUE(testing::eventually([&] { return polls.load() >= 2; }));
    EXPECT_EQ(ready.wait_for(0s), std::future_status::timeout);
    client->call("generatetodescriptor", {RPCParam::integer(1), RPCParam::string("raw(51)")}, 30,
                 {});
    ASSERT_EQ(ready.wait_for(testing::patience), std::future_status::ready);
    EXPECT_NO_THROW(ready.get());
    EXPECT_TRUE(controller.status({}).isReadyToMine());
    controller.stop();
}

TEST_F(NodeControllerTest, AStopEndsTheSyncWaitAndEveryLaterStart) {
    NodeController& controller = makeController();
    controller.startAndConnect(30s, 30s, {});
    auto waiting = std::async(std::launch::async, [&] {
        controller.awaitReadyToMine(10s, [](const ChainStatus&) {}, {});
    });
    EXPECT_EQ(waiting.wait_for(200ms), std::future_status::timeout);
    const auto stopped = Clock::now();
    controller.stop();
    ASSERT_EQ(waiting.wait_for(testing::patience), std::future_status::ready);
    EXPECT_THROW(waiting.get(), Cancelled);
    EXPECT_LT(Clock::now() - stopped, 10s);
    EXPECT_TRUE(testing::allProcessesGone(pidFile(), 0.0));

    // The stop is latched: nothing starts the node again.
    const auto launches = testing::readText(pidFile());
    EXPECT_THROW(controller.startAndConnect(30s, 30s, {}), Cancelled);
    EXPECT_THROW(controller.restart(30s, 30s, {}), Cancelled);
    EXPECT_THROW(controller.awaitReadyToMine(50ms, [](const ChainStatus&) {}, {}), Cancelled);
    EXPECT_EQ(testing::readText(pidFile()), launches);
}

TEST_F(NodeControllerTest, AStopBeforeAnyStartReturnsAtOnce) {
    NodeController& controller = makeController();
    const auto started = Clock::now();
    controller.stop();
    EXPECT_LT(Clock::now() - started, 1s);
    EXPECT_THROW(controller.startAndConnect(30s, 30s, {}), Cancelled);
    EXPECT_TRUE(testing::readText(pidFile()).empty());  // nothing was launched
}

}  // namespace
}  // namespace corvanta

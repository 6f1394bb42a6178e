#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "corvanta/rpc/RPCClient.h"

namespace corvanta::testing {

// A regtest node of its own for one test: started in a fresh temporary data directory on free
// ports, reached through its cookie, and stopped (RPC stop, then SIGTERM, then SIGKILL) and
// cleaned away when the object goes. The program is $CORVANTA_TEST_BITCOIND, else the test node
// of this source tree.
class TestNode {
  public:
    static std::filesystem::path program();

    TestNode();
    ~TestNode();
    TestNode(const TestNode&) = delete;
    TestNode& operator=(const TestNode&) = delete;

    const RPCClient& client() const { return *client_; }
    std::int64_t blockCount() const;

  private:
    void waitUntilReady(int rpcPort);
    void stop();
    std::string logTail() const;

    std::filesystem::path dataDirectory_;
    pid_t pid_ = -1;
    std::optional<RPCClient> client_;
};

}  // namespace corvanta::testing

#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

#include "NodeLaunchRecord.h"
#include "corvanta/node/NodeConfiguration.h"
#include "corvanta/support/UniqueFd.h"

namespace corvanta {

// A node of ours that an earlier launch left running on a data folder: the process its launch
// record names, still that very process (same start time), still running the program it ran
// then, which is the node program this launch would run (the same file, or a file with the
// digest the build expects), for that data folder, while the process that launched it is gone.
// A record is input like any file: a process it names that runs anything else is never signalled
// and its command line never chooses where an RPC call goes. Any other holder of
// the folder (a node of a running copy of the application, a node started by hand) is no
// leftover: the launch goes on to report the conflict.
class LeftoverNode {
  public:
    // The leftover node on the configuration's data folder, when there is one. `program` is the
    // node program this launch runs; `expectedSha256`, when given, the digest the build expects
    // of it.
    static std::optional<LeftoverNode> find(const NodeConfiguration& configuration,
                                            const std::filesystem::path& program,
                                            const std::optional<std::string>& expectedSha256);

    // Stops it as a clean stop does: RPC "stop" with the folder's cookie, then SIGTERM when that
    // call fails or the node is still there after `grace`; never SIGKILL. True once it has gone
    // (its record then removed); false when it is still there `grace` after the SIGTERM. Throws
    // Cancelled (the node has been asked to stop by then).
    bool stop(std::chrono::steady_clock::duration grace, std::chrono::steady_clock::duration poll,
              double rpcTimeoutSeconds, std::stop_token stop);

    const ProcessIdentity& identity() const { return record_.node; }

  private:
    LeftoverNode(NodeLaunchRecord record, UniqueFd pidfd, NodeConfiguration configuration,
                 int rpcPort);
    bool waitGone(std::chrono::steady_clock::duration limit,
                  std::chrono::steady_clock::duration poll, const std::stop_token& stop) const;

    NodeLaunchRecord record_;
    UniqueFd pidfd_;  // pins the process: no later one with its pid can be signalled
    NodeConfiguration configuration_;
    int rpcPort_;
};

}  // namespace corvanta

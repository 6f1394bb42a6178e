#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/loop/MiningEvent.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

class CPUEngine;
class InstallationRecord;
class MiningHistoryStore;
class NodeController;
class RPCClient;

// The mining loop as a session drives it: run until it ends (by throwing, Cancelled after stop()),
// stop from any thread, and the history store it records found blocks in.
class SessionMiner {
  public:
    virtual ~SessionMiner() = default;
    virtual void run(MiningEventHandler onEvent) = 0;
    virtual void stop() = 0;
    virtual std::shared_ptr<MiningHistoryStore> historyStore() const = 0;
};

// What a session hands to the loop it builds.
struct SessionMinerParts {
    BitcoinNetwork network;
    std::shared_ptr<const RPCClient> client;
    std::shared_ptr<NodeController> controller;
    std::shared_ptr<CPUEngine> engine;
    std::vector<std::uint8_t> payoutScript;
    std::filesystem::path rejectedBlockDirectory;
    std::filesystem::path bestDifficultyFile;
    std::filesystem::path historyFile;
    // The store on `historyFile` the session shares with the views, read once a start (by whoever
    // needs it first); none: the loop opens its own.
    std::shared_ptr<MiningHistoryStore> history;
    // The chain's tip as the loop is built: the network is met there, unless it was met before
    // (see meetNetwork). None: not met by this loop.
    std::optional<std::int64_t> chainHeight = std::nullopt;
    // The key as this session met the network before its sync (see meetNetwork): the loop takes
    // it as it stands, and with it whether its first job is the floor. None: the loop reads the
    // key itself.
    std::shared_ptr<InstallationRecord> installation = nullptr;
};

using SessionMinerFactory = std::function<std::shared_ptr<SessionMiner>(const SessionMinerParts&)>;

// The installation meets `parts.network` on a chain whose tip is at `chainHeight`, before any sync
// or mining, as the product's loop will read its key: see InstallationRecord::meet. What it knows
// of that moment lives in the record alone, for the loop this session builds.
struct NetworkMeeting {
    std::shared_ptr<InstallationRecord> installation;
    std::vector<std::string> notices;  // the event log's lines (a key file that could not be taken)
};
NetworkMeeting meetNetwork(SessionMinerParts parts, std::int64_t chainHeight);

// The product's loop: a MiningCoordinator on a template watcher of the session's client, the node
// controller as its supervisor (six restarts from a one-second backoff), a two-minute long-poll.
std::shared_ptr<SessionMiner> makeCoordinatorMiner(const SessionMinerParts& parts);

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "corvanta/assembly/BlockSubmission.h"

namespace corvanta {

// Every piece of progress that leaves the mining loop.
namespace mining_event {

struct TemplateReceived {
    std::int64_t height;
    bool operator==(const TemplateReceived&) const = default;
};
struct BlockFound {
    std::int64_t height;
    std::vector<std::uint8_t> hash;  // hash byte order
    std::int64_t rewardSats;
    bool operator==(const BlockFound&) const = default;
};
// The node's verdict on one found block, named as BlockFound names it: a held block resubmitted
// later may be told of long after newer ones were found.
struct SubmissionResultEvent {
    std::int64_t height;
    std::vector<std::uint8_t> hash;  // hash byte order
    SubmissionResult result;
    bool operator==(const SubmissionResultEvent&) const = default;
};
struct SearchExhausted {
    std::uint64_t extranonce;
    bool operator==(const SearchExhausted&) const = default;
};
struct WorkLoaded {
    std::int64_t height;
    double milliseconds;
    bool operator==(const WorkLoaded&) const = default;
};
struct CandidateValidated {
    std::int64_t height;
    std::int64_t transactionCount;
    bool operator==(const CandidateValidated&) const = default;
};
struct CandidateRejected {
    std::int64_t height;
    std::string reason;
    bool operator==(const CandidateRejected&) const = default;
};
struct CandidateValidationUnavailable {
    std::int64_t height;
    std::string reason;
    bool operator==(const CandidateValidationUnavailable&) const = default;
};
struct WorkAbandoned {
    std::string reason;
    bool operator==(const WorkAbandoned&) const = default;
};
struct Recovering {
    std::string reason;
    bool operator==(const Recovering&) const = default;
};
struct NodeDied {
    std::int32_t exitCode;
    bool operator==(const NodeDied&) const = default;
};
struct NodeRestarted {
    int attempt;
    bool operator==(const NodeRestarted&) const = default;
};
struct BestDifficulty {
    double session;
    double allTime;
    double network;
    bool operator==(const BestDifficulty&) const = default;
};

// What the user should know of the files that keep found blocks: one could not be read or written
// (what was found is then kept in memory until it can be), or the history got back a block it had
// missed. Said once a run for each text.
struct StoreNotice {
    std::string message;                    // the event log's line
    std::optional<std::string> fullFolder;  // the folder whose disk is full, when that is why
    bool operator==(const StoreNotice&) const = default;
};

}  // namespace mining_event

// The variant's alternatives are in the order of the event tags 0 to 13.
using MiningEvent = std::variant<
    mining_event::TemplateReceived, mining_event::BlockFound, mining_event::SubmissionResultEvent,
    mining_event::SearchExhausted, mining_event::WorkLoaded, mining_event::CandidateValidated,
    mining_event::CandidateRejected, mining_event::CandidateValidationUnavailable,
    mining_event::WorkAbandoned, mining_event::Recovering, mining_event::NodeDied,
    mining_event::NodeRestarted, mining_event::BestDifficulty, mining_event::StoreNotice>;

// Called from several threads at once; must be thread-safe.
using MiningEventHandler = std::function<void(const MiningEvent&)>;

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "corvanta/assembly/BlockCandidate.h"
#include "corvanta/assembly/BlockMiner.h"
#include "corvanta/assembly/TemplateRules.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {

// The node's verdict on a submitted block.
struct SubmissionResult {
    struct Accepted {
        bool operator==(const Accepted&) const = default;
    };
    struct Rejected {
        std::string reason;  // the node's text, e.g. "bad-txnmrklroot"
        bool operator==(const Rejected&) const = default;
    };
    std::variant<Accepted, Rejected> value;

    bool isAccepted() const { return std::holds_alternative<Accepted>(value); }
    bool operator==(const SubmissionResult&) const = default;
};

// The node's opinion of a proposed block, proof of work aside.
struct ProposalVerdict {
    struct Valid {
        bool operator==(const Valid&) const = default;
    };
    struct Inconclusive {
        std::string reason;
        bool operator==(const Inconclusive&) const = default;
    };
    struct Rejected {
        std::string reason;
        bool operator==(const Rejected&) const = default;
    };
    std::variant<Valid, Inconclusive, Rejected> value;

    bool operator==(const ProposalVerdict&) const = default;
};

inline constexpr double submissionTimeoutSeconds = 30;

// submitblock's answer: null, "duplicate", "inconclusive" and "duplicate-inconclusive" (exactly)
// mean the node has the block; any other text is the reason it was refused.
SubmissionResult submissionVerdict(const std::optional<std::string>& response);

// Hands a found block to the node. Errors are the RPC client's (RPCError, RPCTransportError,
// json::DecodeError for an answer that is neither a text nor null, Cancelled); nothing is retried.
SubmissionResult submit(const MiningOutcome& outcome, const RPCClient& client, std::stop_token stop,
                        double timeoutSeconds = submissionTimeoutSeconds);

// getblocktemplate in proposal mode: null means valid, a text starting with "inconclusive" is
// inconclusive, any other text is the reason for refusal.
ProposalVerdict proposalVerdict(const std::optional<std::string>& response);

// Asks the node whether the candidate, with this nonce, would be a valid block apart from its
// proof of work, naming the rules its template was asked for with. Errors as for submit().
ProposalVerdict proposeBlock(const BlockCandidate& candidate, std::uint32_t nonce,
                             TemplateRules rules, const RPCClient& client, std::stop_token stop,
                             double timeoutSeconds = submissionTimeoutSeconds);

}  // namespace corvanta

#include "corvanta/assembly/BlockSubmission.h"

namespace corvanta {

namespace {

// A null result is nullopt; a text is that text; anything else is a decoding failure.
std::optional<std::string> textOrNull(const std::optional<json::Value>& result) {
    if (!result) return std::nullopt;
    return json::as<std::string>(*result, "result");
}

}  // namespace

SubmissionResult submissionVerdict(const std::optional<std::string>& response) {
    if (!response || *response == "duplicate" || *response == "inconclusive" ||
        *response == "duplicate-inconclusive") {
        return {SubmissionResult::Accepted{}};
    }
    return {SubmissionResult::Rejected{*response}};
}

SubmissionResult submit(const MiningOutcome& outcome, const RPCClient& client, std::stop_token stop,
                        double timeoutSeconds) {
    const auto result = client.callOptional(
        "submitblock", {RPCParam::string(BitcoinEncoding::hexString(outcome.serializedBlock))},
        timeoutSeconds, std::move(stop));
    return submissionVerdict(textOrNull(result));
}

ProposalVerdict proposalVerdict(const std::optional<std::string>& response) {
    if (!response) return {ProposalVerdict::Valid{}};
    if (response->starts_with("inconclusive")) return {ProposalVerdict::Inconclusive{*response}};
    return {ProposalVerdict::Rejected{*response}};
}

ProposalVerdict proposeBlock(const BlockCandidate& candidate, std::uint32_t nonce,
                             TemplateRules rules, const RPCClient& client, std::stop_token stop,
                             double timeoutSeconds) {
    const RPCParam proposal = RPCParam::object({
        {"data", RPCParam::string(BitcoinEncoding::hexString(candidate.serialized(nonce)))},
        {"mode", RPCParam::string("proposal")},
        {"rules", rulesParameter(rules)},
    });
    const auto result =
        client.callOptional("getblocktemplate", {proposal}, timeoutSeconds, std::move(stop));
    return proposalVerdict(textOrNull(result));
}

}  // namespace corvanta

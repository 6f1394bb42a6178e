#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/TemplateRules.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {

// One entry of the template's "transactions".
struct TemplateTransaction {
    std::string data;  // the serialized transaction (with witness), hex
    std::string txid;  // display order, hex
    std::string hash;  // witness hash, hex
    std::optional<std::int64_t> fee;
    std::optional<std::int64_t> weight;

    bool operator==(const TemplateTransaction&) const = default;
};

// The node's getblocktemplate reply, as far as block assembly needs it. Hex texts are kept as
// the node sent them; they are checked when a MiningJob is built from the template.
struct BlockTemplate {
    static constexpr double fetchTimeoutSeconds = 30;
    static constexpr double longPollTimeoutSeconds = 120;

    std::int32_t version = 0;
    std::string previousBlockHash;  // display order, hex
    std::vector<TemplateTransaction> transactions;
    std::int64_t coinbaseValue = 0;  // satoshis
    std::string target;              // 64 hex digits, big-endian
    std::uint32_t minTime = 0;
    std::uint32_t curTime = 0;
    std::string bits;  // compact target, 8 hex digits
    std::int64_t height = 0;
    std::optional<std::string> defaultWitnessCommitment;  // hex of a whole output script
    std::optional<std::string> longPollID;
    std::optional<std::int64_t> sizeLimit;
    std::optional<std::int64_t> weightLimit;
    std::optional<std::string> signetChallenge;  // hex of the script a signet's blocks must meet

    // Decodes a getblocktemplate result. Every required key must be present with its type and
    // range; an optional key may be absent or null but not of another type; other keys are
    // ignored. Throws json::DecodeError naming the key path (e.g. "transactions[0].txid").
    static BlockTemplate fromJson(const json::Value& result);

    // The previous block hash in hash byte order (any length); empty when it is not hex.
    std::optional<Bytes> previousBlockHashBytes() const;
    // `bits` as a number; empty when it is not all hex or does not fit 32 bits.
    std::optional<std::uint32_t> bitsValue() const;
    // Empty when there is no commitment or it is not hex.
    std::optional<Bytes> witnessCommitmentBytes() const;

    // Asks the node for its template, naming `rules`; with a long-poll identifier the node
    // answers only once its template differs from the one that identifier names. Without
    // `timeoutSeconds` the request waits 30 s, or 120 s for a long-poll. Errors are the RPC
    // client's (RPCError, RPCTransportError, json::DecodeError, Cancelled).
    static BlockTemplate fetch(const RPCClient& client, TemplateRules rules,
                               const std::optional<std::string>& longPollID, std::stop_token stop,
                               std::optional<double> timeoutSeconds = std::nullopt);

    // The one positional parameter of that request: {"longpollid":..., "rules":[...]} (see
    // rulesParameter), without "longpollid" when there is none.
    static RPCParam requestParameter(TemplateRules rules,
                                     const std::optional<std::string>& longPollID);

    bool operator==(const BlockTemplate&) const = default;
};

}  // namespace corvanta

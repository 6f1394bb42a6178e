#include "corvanta/assembly/BlockTemplate.h"

#include <algorithm>
#include <charconv>

namespace corvanta {

namespace {

TemplateTransaction decodeTransaction(const json::Value& entry, const std::string& path) {
    TemplateTransaction transaction;
    transaction.data = json::required<std::string>(entry, "data", path);
    transaction.txid = json::required<std::string>(entry, "txid", path);
    transaction.hash = json::required<std::string>(entry, "hash", path);
    transaction.fee = json::optional<std::int64_t>(entry, "fee", path);
    transaction.weight = json::optional<std::int64_t>(entry, "weight", path);
    return transaction;
}

}  // namespace

BlockTemplate BlockTemplate::fromJson(const json::Value& result) {
    BlockTemplate t;
    t.version = json::required<std::int32_t>(result, "version");
    const json::Value transactions = json::required<json::Value>(result, "transactions");
    if (!transactions.is_array()) throw json::DecodeError("transactions", "expected an array");
    t.transactions.reserve(transactions.size());
    for (std::size_t i = 0; i < transactions.size(); ++i) {
        t.transactions.push_back(
            decodeTransaction(transactions[i], "transactions[" + std::to_string(i) + "]"));
    }
    t.target = json::required<std::string>(result, "target");
    t.bits = json::required<std::string>(result, "bits");
    t.height = json::required<std::int64_t>(result, "height");
    t.previousBlockHash = json::required<std::string>(result, "previousblockhash");
    t.coinbaseValue = json::required<std::int64_t>(result, "coinbasevalue");
    t.minTime = json::required<std::uint32_t>(result, "mintime");
    t.curTime = json::required<std::uint32_t>(result, "curtime");
    t.defaultWitnessCommitment = json::optional<std::string>(result, "default_witness_commitment");
    t.longPollID = json::optional<std::string>(result, "longpollid");
    t.sizeLimit = json::optional<std::int64_t>(result, "sizelimit");
    t.weightLimit = json::optional<std::int64_t>(result, "weightlimit");
    t.signetChallenge = json::optional<std::string>(result, "signet_challenge");
    return t;
}

std::optional<Bytes> BlockTemplate::previousBlockHashBytes() const {
    auto bytes = BitcoinEncoding::hexBytes(previousBlockHash);
    if (bytes) std::reverse(bytes->begin(), bytes->end());
    return bytes;
}

std::optional<std::uint32_t> BlockTemplate::bitsValue() const {
    std::uint32_t value = 0;
    const char* const end = bits.data() + bits.size();
    const auto [stop, error] = std::from_chars(bits.data(), end, value, 16);
    if (bits.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

std::optional<Bytes> BlockTemplate::witnessCommitmentBytes() const {
    if (!defaultWitnessCommitment) return std::nullopt;
    return BitcoinEncoding::hexBytes(*defaultWitnessCommitment);
}

RPCParam BlockTemplate::requestParameter(TemplateRules rules,
                                         const std::optional<std::string>& longPollID) {
    RPCParam::Object members{{"rules", rulesParameter(rules)}};
    if (longPollID) members.emplace("longpollid", RPCParam::string(*longPollID));
    return RPCParam::object(std::move(members));
}

BlockTemplate BlockTemplate::fetch(const RPCClient& client, TemplateRules rules,
                                   const std::optional<std::string>& longPollID,
                                   std::stop_token stop, std::optional<double> timeoutSeconds) {
    const double timeout =
        timeoutSeconds.value_or(longPollID ? longPollTimeoutSeconds : fetchTimeoutSeconds);
    return client.call("getblocktemplate", {requestParameter(rules, longPollID)}, timeout,
                       std::move(stop), [](const json::Value& result) { return fromJson(result); });
}

}  // namespace corvanta

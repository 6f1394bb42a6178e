#include "corvanta/assembly/MiningJob.h"

#include <algorithm>

#include "ByteWriting.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/assembly/ChainLimits.h"
#include "corvanta/assembly/CoinbaseTransaction.h"
#include "corvanta/assembly/Merkle.h"
#include "corvanta/assembly/SignetChallenge.h"

namespace corvanta {

namespace {

[[noreturn]] void malformed(std::string field) {
    throw BlockAssemblyError(BlockAssemblyError::MalformedTemplateField{std::move(field)});
}

// 32 bytes of hex, or nothing.
std::optional<Hash32> hash32(const std::optional<Bytes>& bytes) {
    if (!bytes || bytes->size() != 32) return std::nullopt;
    Hash32 hash{};
    std::copy(bytes->begin(), bytes->end(), hash.begin());
    return hash;
}

Hash32 reversed(Hash32 hash) {
    std::reverse(hash.begin(), hash.end());
    return hash;
}

}  // namespace

MiningJob::MiningJob(const BlockTemplate& blockTemplate, CoinbasePayoutPlan plan,
                     TemplateRules templateRules)
    : rules(templateRules),
      minTime(blockTemplate.minTime),
      // A header dated before mintime is refused by the node (time-too-old), so mining starts no
      // earlier, whatever curtime says.
      curTime(std::max(blockTemplate.curTime, blockTemplate.minTime)),
      longPollID(blockTemplate.longPollID),
      version(blockTemplate.version),
      coinbaseValue(blockTemplate.coinbaseValue),
      payoutPlan(std::move(plan)) {
    if (payoutPlan.minerScript.empty()) {
        throw BlockAssemblyError(BlockAssemblyError::EmptyPayoutScript{});
    }

    const auto previous = hash32(blockTemplate.previousBlockHashBytes());
    if (!previous) malformed("previousblockhash");
    previousBlockHash = *previous;

    const auto bitsValue = blockTemplate.bitsValue();
    const auto expanded = bitsValue ? Target::fromCompactBits(*bitsValue) : std::nullopt;
    if (!expanded) malformed("bits");
    bits = *bitsValue;
    target = *expanded;

    const auto stated = hash32(BitcoinEncoding::hexBytes(blockTemplate.target));
    if (!stated || *stated != target.bigEndianBytes) malformed("target");

    auto transactions = std::make_shared<std::vector<Bytes>>();
    transactions->reserve(blockTemplate.transactions.size());
    std::vector<Hash32> leaves;
    leaves.reserve(blockTemplate.transactions.size() + 1);
    leaves.push_back(Hash32{});  // the coinbase's place; it does not shape its own branch
    for (const TemplateTransaction& transaction : blockTemplate.transactions) {
        auto data = BitcoinEncoding::hexBytes(transaction.data);
        // A transaction is never empty: a block carrying one would be refused.
        if (!data || data->empty()) malformed("transactions[].data");
        const auto txid = hash32(BitcoinEncoding::hexBytes(transaction.txid));
        if (!txid) malformed("transactions[].txid");
        transactions->push_back(std::move(*data));
        leaves.push_back(reversed(*txid));
    }
    otherTransactions = std::move(transactions);

    if (blockTemplate.defaultWitnessCommitment) {
        witnessCommitment = blockTemplate.witnessCommitmentBytes();
        if (!witnessCommitment) malformed("default_witness_commitment");
    }
    if (rules == TemplateRules::segwitAndSignet) {
        // The node looks for a block's signet solution in its witness commitment, and refuses a
        // block that has none.
        if (!witnessCommitment) malformed("default_witness_commitment");
        const auto challenge = blockTemplate.signetChallenge
                                   ? BitcoinEncoding::hexBytes(*blockTemplate.signetChallenge)
                                   : std::nullopt;
        if (!challenge) malformed("signet_challenge");
        if (!signetChallengeMetByEmptySolution(*challenge)) {
            throw BlockAssemblyError(
                BlockAssemblyError::SignetNeedsSignature{*blockTemplate.signetChallenge});
        }
    }

    if (blockTemplate.height < 0 || blockTemplate.height > maxBlockHeight) malformed("height");
    // A block paying more than all the bitcoin there is could never be recorded, let alone valid.
    if (blockTemplate.coinbaseValue > maxMoneySats) malformed("coinbasevalue");
    height = blockTemplate.height;

    branch = MerkleBranch::forCoinbase(leaves);
}

BlockCandidate MiningJob::candidate(std::uint64_t extranonce,
                                    std::optional<std::uint32_t> time) const {
    const CoinbaseTransaction coinbase(height, payoutPlan.extranonceBytes(extranonce),
                                       payoutPlan.outputs(coinbaseValue), witnessCommitment);
    const Hash32 coinbaseTxid = coinbase.txid();
    const Hash32 merkleRoot = MerkleBranch::root(coinbaseTxid, branch);

    return BlockCandidate{
        .header = BlockHeader{.version = version,
                              .previousBlockHash = previousBlockHash,
                              .merkleRoot = merkleRoot,
                              .time = std::max(time.value_or(curTime), minTime),
                              .bits = bits,
                              .nonce = 0},
        .target = target,
        .merkleRoot = merkleRoot,
        .coinbaseTxid = coinbaseTxid,
        .coinbaseValue = coinbaseValue,
        // What the payout output really carries (never below 0).
        .minerRewardSats = payoutPlan.minerSats(coinbaseValue),
        .coinbaseBytes = coinbase.serializedWithWitness(),
        .otherTransactions = otherTransactions,
    };
}

}  // namespace corvanta

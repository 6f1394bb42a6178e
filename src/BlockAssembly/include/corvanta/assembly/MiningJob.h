#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/BlockCandidate.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/mining/Target.h"

namespace corvanta {

// A template checked once and converted into the byte-level pieces that stay fixed while it is
// mined; each extranonce (or time roll) then only costs a new coinbase and one hash per merkle
// level. Treat a job as immutable: it is meant to be shared read-only between threads.
struct MiningJob {
    // `rules` are those the template was asked for with. Checks, in this order, throwing
    // BlockAssemblyError on the first failure: EmptyPayoutScript; MalformedTemplateField
    // "previousblockhash" (not 32 bytes of hex), "bits" (not hex or not a valid compact target),
    // "target" (not the one the bits expand to), "transactions[].data" (not hex, or empty),
    // "transactions[].txid" (not hex / not 32 bytes), "default_witness_commitment" (not hex: a
    // block without the commitment the node asked for would be refused; on signet also absent,
    // as a signet block without one is refused), "signet_challenge" (on signet: absent or not
    // hex); SignetNeedsSignature (on signet: a challenge an empty solution does not meet, see
    // signetChallengeMetByEmptySolution); MalformedTemplateField "height" (negative or beyond
    // 2^31-1), "coinbasevalue" (above 21,000,000 BTC).
    MiningJob(const BlockTemplate& blockTemplate, CoinbasePayoutPlan payoutPlan,
              TemplateRules rules);

    TemplateRules rules = TemplateRules::segwit;  // a proposal of its candidates names them again

    std::int64_t height = 0;
    Target target;
    std::uint32_t minTime = 0;
    std::uint32_t curTime = 0;  // the template's curtime, raised to its mintime when below it
    std::optional<std::string> longPollID;
    std::int32_t version = 0;
    Hash32 previousBlockHash{};  // hash byte order
    std::uint32_t bits = 0;
    std::int64_t coinbaseValue = 0;
    CoinbasePayoutPlan payoutPlan;
    std::optional<Bytes> witnessCommitment;  // the commitment output script
    TransactionList otherTransactions = std::make_shared<const std::vector<Bytes>>();
    std::vector<Hash32> branch;  // the coinbase's merkle branch

    // The candidate for this extranonce (in the scriptSig after the height, as the payout plan's
    // extranonceBytes lays it out: the counter's low 4 bytes, then the mark) and header time
    // (curTime when absent); the header time is never below minTime.
    BlockCandidate candidate(std::uint64_t extranonce, std::optional<std::uint32_t> time) const;
};

}  // namespace corvanta

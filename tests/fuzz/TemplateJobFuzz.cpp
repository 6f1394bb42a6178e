// A getblocktemplate result from a hostile node, decoded and turned into a job and a candidate,
// as on any network and as on signet (its challenge judged).

#include <algorithm>

#include "FuzzSupport.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/assembly/MiningJob.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BlockTemplate blockTemplate;
    try {
        const auto result = json::parse(fuzz::textOf(data, size));
        blockTemplate = BlockTemplate::fromJson(result);
        fuzz::expect(BlockTemplate::fromJson(json::parse(json::dump(result))) == blockTemplate,
                     "template changed through a round trip of its JSON");
    } catch (const json::DecodeError&) {
        return 0;
    }
    for (const auto rules : {TemplateRules::segwit, TemplateRules::segwitAndSignet}) {
        try {
            const MiningJob job(blockTemplate, CoinbasePayoutPlan::everythingToMiner({0x51}),
                                rules);
            fuzz::expect(job.curTime >= blockTemplate.minTime, "job starts below mintime");
            // A signet block without a commitment is refused whatever its challenge.
            fuzz::expect(rules == TemplateRules::segwit || job.witnessCommitment.has_value(),
                         "signet job without its witness commitment");
            for (const std::optional<std::uint32_t> time :
                 {std::optional<std::uint32_t>{}, std::optional(blockTemplate.curTime),
                  std::optional<std::uint32_t>(0)}) {
                const auto candidate = job.candidate(7, time);
                fuzz::expect(candidate.header.time >= blockTemplate.minTime,
                             "header time below mintime");
                const auto block = candidate.serialized(42);
                const auto header = candidate.header.withNonce(42).serialized();
                fuzz::expect(block.size() > header.size() &&
                                 std::equal(header.begin(), header.end(), block.begin()),
                             "block does not start with its header");
            }
        } catch (const BlockAssemblyError&) {
        }
    }
    return 0;
}

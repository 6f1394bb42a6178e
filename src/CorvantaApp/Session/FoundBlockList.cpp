#include "Session/FoundBlockList.h"

#include <algorithm>

namespace corvanta::found_blocks {
namespace {

constexpr std::size_t foundBlockLimit = 200;
constexpr std::size_t foundBlockKeep = 100;

}  // namespace

void add(std::vector<FoundBlockRecord>& blocks, FoundBlockRecord block) {
    blocks.push_back(std::move(block));
    if (blocks.size() > foundBlockLimit) {
        blocks.erase(blocks.begin(), blocks.end() - foundBlockKeep);
    }
}

Verdict applyVerdict(std::vector<FoundBlockRecord>& blocks, const QString& hashHex,
                     const SubmissionResult& result) {
    const auto block = std::find_if(blocks.rbegin(), blocks.rend(),
                                    [&](const auto& listed) { return listed.hashHex == hashHex; });
    if (block == blocks.rend()) return {};
    if (const auto* rejected = std::get_if<SubmissionResult::Rejected>(&result.value)) {
        block->verdict = QStringLiteral("rejected: ") + QString::fromStdString(rejected->reason);
        block->isAccepted = false;
        return {true, std::nullopt};
    }
    const bool wasAccepted = block->isAccepted == true;
    block->verdict = QStringLiteral("accepted");
    block->isAccepted = true;
    return {true, wasAccepted ? std::nullopt : std::optional(*block)};
}

}  // namespace corvanta::found_blocks

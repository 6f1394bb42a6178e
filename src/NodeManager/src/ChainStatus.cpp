#include "corvanta/node/ChainStatus.h"

namespace corvanta {

ChainStatus ChainStatus::fromJson(const json::Value& result) {
    ChainStatus status;
    status.chain = json::required<std::string>(result, "chain");
    status.blocks = json::required<std::int64_t>(result, "blocks");
    status.headers = json::required<std::int64_t>(result, "headers");
    status.pruned = json::required<bool>(result, "pruned");
    status.verificationProgress = json::required<double>(result, "verificationprogress");
    status.initialBlockDownload = json::required<bool>(result, "initialblockdownload");
    status.sizeOnDiskBytes = json::required<std::int64_t>(result, "size_on_disk");
    status.bestBlockHash = json::required<std::string>(result, "bestblockhash");
    return status;
}

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/loop/BlockCoinbase.h"

namespace corvanta {

// Which blocks are this installation's. Paying the payout script is not enough: the same address
// may be mined on another computer, by another account, or by a pool. A block is ours only when
// its coinbase also carries this installation's extranonce mark.
struct BlockOwnership {
    Bytes payoutScript;
    ExtranonceMark mark{};

    enum class Verdict {
        notPaying,  // no output to the payout script (or no coinbase at all)
        unmarked,   // pays the script, written by someone else or by an unmarked (older) miner
        ours,
    };
    Verdict judge(const BlockCoinbase& coinbase) const;

    // What the coinbase of this installation's blocks is built with.
    CoinbasePayoutPlan payoutPlan() const {
        return CoinbasePayoutPlan::everythingToMiner(payoutScript, mark);
    }

    // The mark of this user on this machine for this installation's files and payout script:
    // derived, never stored, so a full disk cannot lose it. Only a hash of them goes on the
    // chain, cut to 4 bytes; it is never all zeros (that is no mark).
    static ExtranonceMark markFor(std::string_view machineId, std::uint32_t userId,
                                  const std::filesystem::path& installationFolder,
                                  std::span<const std::uint8_t> payoutScript);
    // The same for the running user on this machine (/etc/machine-id, or D-Bus's copy of it).
    static ExtranonceMark markForThisUser(const std::filesystem::path& installationFolder,
                                          std::span<const std::uint8_t> payoutScript);
};

}  // namespace corvanta

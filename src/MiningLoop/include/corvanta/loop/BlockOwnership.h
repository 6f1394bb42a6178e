#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {

// What the chain walk needs on one network to rebuild a lost history, kept with the key and never
// taken from the history itself, which may be the very thing lost.
struct MinedOnNetwork {
    // The lowest height at which this installation started mining with each mark (one mark per
    // payout script): written before that mark's first job is hashed, and only ever lowered.
    std::map<ExtranonceMark, std::int64_t> marks;
    // No block of this installation lies below this height on that network's chain. Absent while
    // unknown (files of an earlier version, a floor one wrote included, a key lost or restored
    // from an older copy, a chain already past its first block when the network was met or grown
    // before the first job): the walk then checks the chain from the lowest block the node
    // holds, once, and only such a walk sets it. Written with "floorSound" beside it; a floor
    // without that word is an earlier version's and is read as unknown.
    std::optional<std::int64_t> floor;
    bool operator==(const MinedOnNetwork&) const = default;
};

// What an installation's marks derive from: the machine, the user and the folder it was first
// set up in, kept beside the stores once derived. Kept, not read again, so a machine id that goes
// missing, a folder moved elsewhere or a backup restored on another machine leave the marks as
// they were.
struct InstallationKey {
    std::string machine;
    std::uint32_t user = 0;
    std::string folder;
    // When the key was first derived: no block of this installation carries a mark from before.
    WholeSeconds markedSince{};
    // By network name ("mainnet", "regtest"...): heights mean nothing from one chain to another.
    std::map<std::string, MinedOnNetwork> mined{};
    // Every start of mining since the key was derived is kept in `mined`. A network without an
    // entry was never mined on with this file, but the file may be an older copy, or derived
    // again with the same marks after the first was lost: only a chain that holds nothing past
    // its first block when the network is met shows that none of ours is on it. False for a key
    // of an earlier version, which kept nothing of the kind.
    bool minedFromStart = false;

    bool operator==(const InstallationKey&) const = default;
    // The same marks: the same machine, user and folder, derived at the same time.
    bool derivesAs(const InstallationKey& other) const {
        return machine == other.machine && user == other.user && folder == other.folder &&
               markedSince == other.markedSince;
    }
    // Every mark mined with on any network: one per payout script this installation has paid.
    std::vector<ExtranonceMark> marksUsed() const;

    static constexpr std::string_view fileName = "installation-mark.json";
    static constexpr std::size_t fileBound = 64 * 1024;

    // The key kept in `keyFolder`; one an earlier version kept in `earlierFolder` is moved there
    // first (never over a file already there). Without either, derived for the running user on
    // this machine and `earlierFolder` (the folder the marks have always derived from, so they stay
    // those an earlier version wrote) and kept. A kept file that cannot be taken (damaged, a
    // link, past its bound) is moved aside under "installation-mark.unreadable-<seconds since
    // 1970>.json" before a key is derived again. When the key cannot be written, the derived key
    // is still given: the marks stay as they were as long as the machine and the folder do.
    // `onSetAside` hears the event log's line for a kept file moved aside.
    static InstallationKey keptIn(
        const std::filesystem::path& keyFolder, const std::filesystem::path& earlierFolder,
        const std::function<void(const std::string&)>& onSetAside = nullptr);
    // The same, deriving with `derive` when no key is kept.
    static InstallationKey keptIn(
        const std::filesystem::path& keyFolder, const std::filesystem::path& earlierFolder,
        const std::function<InstallationKey()>& derive,
        const std::function<void(const std::string&)>& onSetAside = nullptr);

    std::string encode() const;
    // Throws json::DecodeError on anything but a record encode() writes.
    static InstallationKey decode(std::string_view text);
};

// Which blocks are this installation's. Paying the payout script is not enough: the same address
// may be mined on another computer, by another account, or by a pool. A block is ours only when
// its coinbase carries the mark this installation derives for the script that coinbase pays, so
// the blocks mined for an earlier payout address stay ours.
struct BlockOwnership {
    BlockOwnership(Bytes script, ExtranonceMark markOfScript,
                   std::optional<InstallationKey> installationKey = std::nullopt)
        : payoutScript(std::move(script)), mark(markOfScript), key(std::move(installationKey)) {}

    Bytes payoutScript;
    ExtranonceMark mark{};  // for payoutScript: what this installation's coinbases carry now
    // Without a key only the blocks carrying `mark` and paying payoutScript can be told as ours,
    // and no block without a mark can.
    std::optional<InstallationKey> key;

    static BlockOwnership of(const InstallationKey& key, Bytes payoutScript);

    enum class Verdict {
        foreign,   // another installation's mark, another coinbase shape, or no coinbase
        unmarked,  // no mark at all: upper four extranonce bytes zero
        ours,
    };
    Verdict judge(const BlockCoinbase& coinbase) const;

    // What the block pays this installation: the outputs to the script its mark was derived for;
    // for an unmarked block, the outputs to a script this installation pays or has paid. 0 for a
    // block that is neither.
    std::int64_t rewardOf(const BlockCoinbase& coinbase) const;

    // True for an unmarked block that its own header dates from before this installation wrote
    // its first mark and that pays a script this installation pays or has paid: a block of the
    // version before the mark, which may be counted from this installation's own pending files
    // (never from the chain, where anyone's could be).
    bool predatesTheMark(const BlockCoinbase& coinbase) const;

    // The current payout script, or one whose mark this installation has mined with.
    bool isOwnScript(std::span<const std::uint8_t> script) const;

    // The mark of this installation for a payout script; all zeros when it cannot be told.
    ExtranonceMark markOf(std::span<const std::uint8_t> script) const;

    // What the coinbase of this installation's blocks is built with.
    CoinbasePayoutPlan payoutPlan() const {
        return CoinbasePayoutPlan::everythingToMiner(payoutScript, mark);
    }

    // The mark of a machine, user, folder and payout script. Only a hash of them goes on the
    // chain, cut to 4 bytes; it is never all zeros (that is no mark).
    static ExtranonceMark markFor(std::string_view machineId, std::uint32_t userId,
                                  const std::filesystem::path& installationFolder,
                                  std::span<const std::uint8_t> payoutScript);
    // The same for the running user on this machine (/etc/machine-id, or D-Bus's copy of it) as
    // it is now, without any kept key.
    static ExtranonceMark markForThisUser(const std::filesystem::path& installationFolder,
                                          std::span<const std::uint8_t> payoutScript);
    // The key the running user on this machine derives for a folder, marked since `now`.
    static InstallationKey keyForThisUser(const std::filesystem::path& installationFolder,
                                          WallClock::time_point now);
};

}  // namespace corvanta

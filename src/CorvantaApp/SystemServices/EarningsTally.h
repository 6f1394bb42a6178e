#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "SystemServices/EarningsScan.h"

namespace corvanta {

// The earnings shown between two scans of the payout address: the last scan's figures, with the
// reward of every block this session found since, all split by coinbase maturity at the newest
// chain height seen. That is what a scan at that height would report, with two exceptions that
// the next scan settles: a found block that was orphaned meanwhile (the scan no longer sees it)
// and a payment to the address from elsewhere (the scan adds it).
//
// A block at or below a scan's height is in that scan already, whichever of the two came first,
// so a block is never counted twice nor lost however the scans and the blocks interleave.
class EarningsTally {
  public:
    // A scan's figures, and the outputs it counted as immature (those may mature before the next
    // scan). Found blocks above its height stay added; those at or below it are in its figures.
    void scanned(const EarningsSnapshot& snapshot, std::vector<EarningsOutput> immature);
    // An accepted block of this session paying the address. Before the first scan nothing is
    // shown, but the block is kept for the figures that scan brings.
    void blockAccepted(std::int64_t height, std::int64_t sats);
    // The chain's newest height, as the node last reported it.
    void tipAt(std::int64_t height);

    // The figures to show; none before the first scan.
    std::optional<EarningsSnapshot> shown() const;
    // Outputs held apart from the scan's mature total: its immature ones and the blocks since.
    std::size_t heldCount() const { return held_.size(); }

  private:
    std::optional<EarningsSnapshot> scan_;
    std::vector<EarningsOutput> held_;
    std::int64_t tip_ = 0;
};

}  // namespace corvanta

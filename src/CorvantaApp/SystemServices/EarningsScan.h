#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <variant>
#include <vector>

#include "corvanta/support/StrictJson.h"

namespace corvanta {

class RPCClient;

// What the payout address holds on the chain, split by coinbase maturity (100 blocks).
struct EarningsSnapshot {
    std::string address;
    std::int64_t scannedAtHeight = 0;
    std::int64_t matureSats = 0;
    std::int64_t immatureSats = 0;
    std::int64_t matureOutputCount = 0;
    std::int64_t immatureOutputCount = 0;
    bool operator==(const EarningsSnapshot&) const = default;
};

// One output paying the address: the height of its block and its amount.
struct EarningsOutput {
    std::int64_t height = 0;
    std::int64_t sats = 0;
    bool operator==(const EarningsOutput&) const = default;
};

// Mature plus immature satoshis. A decoded snapshot's sum always fits; a sum of figures from
// elsewhere saturates instead of wrapping.
std::int64_t earningsTotalSats(std::int64_t matureSats, std::int64_t immatureSats);

// The node answered the scan with "success": false.
class EarningsScanError : public std::runtime_error {
  public:
    EarningsScanError() : std::runtime_error("scantxoutset returned success=false") {}
};

namespace EarningsScanState {
struct NeverScanned {
    bool operator==(const NeverScanned&) const = default;
};
struct Scanning {
    bool operator==(const Scanning&) const = default;
};
struct Completed {
    QDateTime at;
    bool operator==(const Completed&) const = default;
};
struct Failed {
    QString error;
    bool operator==(const Failed&) const = default;
};
}  // namespace EarningsScanState
using EarningsScanStateValue =
    std::variant<EarningsScanState::NeverScanned, EarningsScanState::Scanning,
                 EarningsScanState::Completed, EarningsScanState::Failed>;

// Asks the node to scan its UTXO set for `address` (up to 900 s; a stop on `stop` ends it with
// Cancelled). Throws EarningsScanError, json::DecodeError for a reply without the expected keys,
// and the client's errors as they come; an answer too large to read is RPCTransportError
// ReplyTooLarge. `immature`, when given, receives the outputs the snapshot counts as immature.
EarningsSnapshot scanEarnings(const RPCClient& client, const std::string& address,
                              std::stop_token stop,
                              std::vector<EarningsOutput>* immature = nullptr);

// The snapshot of a scantxoutset reply. Throws EarningsScanError and json::DecodeError, also for a
// negative amount and for outputs whose sum, mature and immature together, an int64 cannot hold.
// `immature`, when given, receives the outputs the snapshot counts as immature.
EarningsSnapshot earningsSnapshot(const json::Value& result, const std::string& address,
                                  std::vector<EarningsOutput>* immature = nullptr);

}  // namespace corvanta

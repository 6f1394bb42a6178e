#include "SystemServices/EarningsScan.h"

#include <cmath>
#include <limits>

#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

constexpr std::int64_t kCoinbaseMaturity = 100;
constexpr double kScanTimeoutSeconds = 900;
// The answer lists every unspent output paying the address, about 450 bytes each: this is room
// for some 140,000 of them, far more than a solo miner's address holds, and keeps a runaway
// answer from taking the machine's memory.
constexpr std::size_t kLargestAnswerBytes = 64 * 1024 * 1024;
// Far beyond the 21 million bitcoin that can exist, and well inside an int64 of satoshis.
constexpr double kLargestAmount = 1e10;

// Adds to a running total, refusing a reply whose outputs add up past what an int64 holds.
void add(std::int64_t& total, std::int64_t sats, const std::string& path) {
    if (__builtin_add_overflow(total, sats, &total)) {
        throw json::DecodeError(path, "amounts add up out of range");
    }
}

std::int64_t satsOf(double amount, std::string_view path) {
    // An unspent output never holds a negative amount; one would make every total a lie.
    if (!std::isfinite(amount) || amount < 0 || amount > kLargestAmount) {
        throw json::DecodeError(std::string(path), "amount out of range");
    }
    // Rounding (halves away from zero) removes the binary error of the product: 0.1 gives
    // exactly 10,000,000.
    return std::llround(amount * 100'000'000.0);
}

// Block heights are never negative; refusing them also keeps the age from overflowing.
std::int64_t heightOf(const json::Value& object, const std::string& where,
                      std::string_view path = "") {
    const auto height = json::required<std::int64_t>(object, "height", path);
    if (height < 0) throw json::DecodeError(where, "negative height");
    return height;
}

}  // namespace

std::int64_t earningsTotalSats(std::int64_t matureSats, std::int64_t immatureSats) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(matureSats, immatureSats, &sum)) {
        return matureSats > 0 ? std::numeric_limits<std::int64_t>::max()
                              : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

EarningsSnapshot earningsSnapshot(const json::Value& result, const std::string& address,
                                  std::vector<EarningsOutput>* immature) {
    if (!json::required<bool>(result, "success")) throw EarningsScanError();
    EarningsSnapshot snapshot;
    snapshot.address = address;
    snapshot.scannedAtHeight = heightOf(result, "height");
    const json::Value& unspents = json::field(result, "unspents");
    if (!unspents.is_array()) throw json::DecodeError("unspents", "expected an array");
    std::int64_t total = 0;
    for (std::size_t i = 0; i < unspents.size(); ++i) {
        const std::string path = "unspents[" + std::to_string(i) + "]";
        const json::Value& unspent = unspents[i];
        const std::int64_t sats = satsOf(json::required<double>(unspent, "amount", path), path);
        const std::int64_t height = heightOf(unspent, path + ".height", path);
        // The whole, mature and immature together, must fit too: every view adds the two.
        add(total, sats, path);
        if (snapshot.scannedAtHeight - height < kCoinbaseMaturity) {
            add(snapshot.immatureSats, sats, path);
            ++snapshot.immatureOutputCount;
            if (immature) immature->push_back({height, sats});
        } else {
            add(snapshot.matureSats, sats, path);
            ++snapshot.matureOutputCount;
        }
    }
    return snapshot;
}

EarningsSnapshot scanEarnings(const RPCClient& client, const std::string& address,
                              std::stop_token stop, std::vector<EarningsOutput>* immature) {
    const std::vector<RPCParam> params = {
        RPCParam::string("start"), RPCParam::array({RPCParam::string("addr(" + address + ")")})};
    // Of each output only its amount and height are read, so only they become values.
    const RPCClient::ReplyBounds bounds{
        .maxBytes = kLargestAnswerBytes,
        .keep =
            [](json::KeyPath path) {
                if (path.size() == 1) {
                    return path[0] == "success" || path[0] == "height" || path[0] == "unspents";
                }
                return path.size() == 2 && path[0] == "unspents" &&
                       (path[1] == "amount" || path[1] == "height");
            },
    };
    return client.call(
        "scantxoutset", params, kScanTimeoutSeconds, std::move(stop), bounds,
        [&](const json::Value& result) { return earningsSnapshot(result, address, immature); });
}

}  // namespace corvanta

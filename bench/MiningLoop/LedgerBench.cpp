// What one proof-ledger entry costs as the ledger grows: the N-th entry of a ledger of N - 1, for
// N = 100, 1,000 and 10,000, and the memory the ledger holds for them. Each iteration appends one
// more entry to the same ledger, on the disk the temporary folder lives on (TMPDIR), durably.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

std::string blockHashOf(std::uint64_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hash(64, '0');
    for (int i = 0; i < 16; ++i) hash[63 - i] = kDigits[(n >> (4 * i)) & 15];
    return hash;
}

// A best header and its real digest (hash byte order), so every entry proves its work.
CPUEngine::BestAttempt bestAttempt() {
    CPUEngine::BestAttempt attempt{};
    attempt.headerBytes.fill(0x42);
    const auto digest = doubleSHA256(attempt.headerBytes);
    std::copy(digest.begin(), digest.end(), attempt.digest.begin());
    return attempt;
}

// A ledger file of `count` chained entries, one a network block, each with the best header so
// far, as a long session leaves it.
void writeLedger(const std::filesystem::path& file, std::uint64_t count) {
    const auto attempt = bestAttempt();
    auto digest = attempt.digest;
    std::reverse(digest.begin(), digest.end());
    const auto bestHeader = BitcoinEncoding::hexString(attempt.headerBytes);
    const auto bestDigest = BitcoinEncoding::hexString(digest);
    std::vector<ProofEntry> entries;
    entries.reserve(count);
    std::string previous = ProofOfMining::rootHash;
    for (std::uint64_t n = 0; n < count; ++n) {
        ProofEntry entry{.index = std::int64_t(n),
                         .timestamp = wholeSeconds(WallClock::now()),
                         .networkHeight = std::int64_t(n),
                         .networkBlockHash = blockHashOf(n),
                         .hashesReported = 1'000'000,
                         .bestHeader = bestHeader,
                         .bestDigest = bestDigest,
                         .previousEntryHash = previous};
        previous = entry.entryHash();
        entries.push_back(std::move(entry));
    }
    writeFileAtomically(file, ProofOfMining::encode(entries), Durability::durable);
}

void AppendNthLedgerEntry(benchmark::State& state) {
    const auto n = std::uint64_t(state.range(0));
    testing::TempDir folder;
    const auto file = folder.path() / "regtest.json";
    writeLedger(file, n - 1);
    const auto attempt = bestAttempt();
    const auto heapBefore = mallinfo2().uordblks;
    ProofOfMining ledger(file);
    state.counters["ledger_heap_KiB"] = double(mallinfo2().uordblks - heapBefore) / 1024.0;
    if (!ledger.summary(0).verification.isIntact()) state.SkipWithError("the ledger is not intact");
    std::uint64_t next = n - 1;
    for (auto _ : state) {
        ledger.append(std::int64_t(next), blockHashOf(next), 1'000'000, attempt, WallClock::now());
        ++next;
    }
    state.counters["ledger_entries"] = double(n);
}
BENCHMARK(AppendNthLedgerEntry)
    ->Arg(100)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvanta

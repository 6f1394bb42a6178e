// What one proof-ledger entry costs as the ledger grows: the N-th entry of a ledger of N - 1, for
// N = 100, 1,000 and 10,000, and the memory the ledger holds for them. Each iteration appends one
// more entry to the same ledger, on the disk the temporary folder lives on (TMPDIR), durably.
//
// And what reading a whole ledger costs as it grows: the command-line checker's reading and
// verification, and the application's ledger store loading it, for ledgers of 10,000 to 440,000
// entries (the largest near the 256 MiB bound). Time must grow in proportion to the entries; the
// process's peak resident memory is reported beside it (run one size alone for its own figure).
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "TestSupport.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/ledger/LedgerReading.h"
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

// A ledger of `count` chained entries as a long session leaves it, each with a best header, written
// entry by entry so the writing costs no more than the file.
void writeLongLedger(const std::filesystem::path& file, std::uint64_t count) {
    const auto attempt = bestAttempt();
    auto digest = attempt.digest;
    std::reverse(digest.begin(), digest.end());
    const auto bestHeader = BitcoinEncoding::hexString(attempt.headerBytes);
    const auto bestDigest = BitcoinEncoding::hexString(digest);
    AtomicFileWriter writer(file, Durability::atomic);
    std::string previous = ProofOfMining::rootHash;
    writer.write("[");
    for (std::uint64_t n = 0; n < count; ++n) {
        ProofEntry entry{.index = std::int64_t(n),
                         .timestamp = WholeSeconds(std::chrono::seconds(1'780'000'000 + 600 * n)),
                         .networkHeight = std::int64_t(850'000 + n),
                         .networkBlockHash = blockHashOf(n),
                         .hashesReported = 1'000'000'000,
                         .bestHeader = bestHeader,
                         .bestDigest = bestDigest,
                         .previousEntryHash = previous};
        previous = entry.entryHash();
        const auto one = ProofOfMining::encode({entry});
        if (n > 0) writer.write(",");
        writer.write(std::string_view(one).substr(1, one.size() - 2));
    }
    writer.write("]");
    writer.commit();
}

// One ledger file per size, written once for the whole run.
const std::filesystem::path& ledgerOf(std::uint64_t count) {
    static testing::TempDir folder;
    static std::map<std::uint64_t, std::filesystem::path> files;
    auto& file = files[count];
    if (file.empty()) {
        file = folder.path() / ("ledger-" + std::to_string(count) + ".json");
        writeLongLedger(file, count);
    }
    return file;
}

void report(benchmark::State& state, const std::filesystem::path& file, std::int64_t entries) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["entries"] = double(entries);
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
    state.counters["peak_RSS_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void CheckLedger(benchmark::State& state) {
    const auto& file = ledgerOf(std::uint64_t(state.range(0)));
    std::int64_t entries = 0;
    for (auto _ : state) {
        const auto reading = ledger::readForCheck(file);
        const auto verification = ProofOfMining::verify(reading.entries);
        if (!verification.isIntact()) state.SkipWithError("the ledger is not intact");
        entries = verification.entriesChecked;
    }
    report(state, file, entries);
}

void LoadLedgerStore(benchmark::State& state) {
    const auto& file = ledgerOf(std::uint64_t(state.range(0)));
    std::int64_t entries = 0;
    for (auto _ : state) {
        const ProofOfMining ledger(file);
        const auto summary = ledger.summary(12);
        if (!summary.verification.isIntact()) state.SkipWithError("the ledger is not intact");
        entries = summary.verification.entriesChecked;
    }
    report(state, file, entries);
}

// Each size read once: the largest takes seconds, and the time is what grows with it.
void wholeLedgerSizes(benchmark::internal::Benchmark* benchmark) {
    for (const std::int64_t entries : {10'000, 20'000, 100'000, 160'000, 440'000}) {
        benchmark->Arg(entries);
    }
    benchmark->Iterations(1)->Unit(benchmark::kMillisecond);
}
BENCHMARK(CheckLedger)->Apply(wholeLedgerSizes);
BENCHMARK(LoadLedgerStore)->Apply(wholeLedgerSizes);

}  // namespace
}  // namespace corvanta

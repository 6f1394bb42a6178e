// What reading a whole proof ledger costs as it grows: the command-line checker's reading and
// verification, and the application's ledger store loading it, for ledgers of 10,000 to 440,000
// entries (the largest near the 256 MiB bound). Time must grow in proportion to the entries; the
// process's peak resident memory is reported beside it (run one size alone for its own figure).
#include <benchmark/benchmark.h>

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

// A ledger of `count` chained entries as a long session leaves it, each with a best header, written
// entry by entry so the writing costs no more than the file.
void writeLedger(const std::filesystem::path& file, std::uint64_t count) {
    std::array<std::uint8_t, 80> header{};
    header.fill(0x42);
    auto digest = doubleSHA256(header);
    std::reverse(digest.begin(), digest.end());
    const auto bestHeader = BitcoinEncoding::hexString(header);
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
        writeLedger(file, count);
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

BENCHMARK(CheckLedger)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Arg(100'000)
    ->Arg(160'000)
    ->Arg(440'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LoadLedgerStore)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Arg(100'000)
    ->Arg(160'000)
    ->Arg(440'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvanta

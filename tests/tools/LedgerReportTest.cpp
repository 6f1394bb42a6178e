#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LedgerReport.h"
#include "TestSupport.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/ledger/LedgerReading.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta::verify {
namespace {

using testing::TempDir;

// Bitcoin's first block header, a real proof of work (difficulty 2536.43).
CPUEngine::BestAttempt provenAttempt() {
    const auto header = BitcoinEncoding::hexBytes(
        "0100000000000000000000000000000000000000000000000000000000000000000000003ba3edfd7a7b12b2"
        "7ac72c3e67768f617fc81bc3888a51323a9fb8aa4b1e5e4a29ab5f49ffff001d1dac2b7c");
    CPUEngine::BestAttempt attempt{};
    std::copy(header->begin(), header->end(), attempt.headerBytes.begin());
    const auto digest = sha256::doubleDigest(attempt.headerBytes);
    std::copy(digest.begin(), digest.end(), attempt.digest.begin());
    return attempt;
}

// A ledger as the application writes it: `count` entries, every other one with a best header;
// past the fold threshold part of it lives in the file and the rest in the journal. The hashes
// declared are as many as that proof makes likely, from 3 entries to a thousand: an honest ledger.
std::filesystem::path writeLedger(const TempDir& folder, std::size_t count) {
    const auto file = folder.path() / "proof" / "regtest.json";
    ProofOfMining ledger(file);
    for (std::size_t i = 0; i < count; ++i) {
        ledger.append(std::int64_t(200 + i), std::string(64, "0123456789abcdef"[i % 16]),
                      200'000'000'000u + i, i % 2 ? std::optional(provenAttempt()) : std::nullopt,
                      WallClock::now());
    }
    return file;
}

std::filesystem::path journalOf(const std::filesystem::path& file) {
    return file.string() + ".journal";
}

// Changes one hexadecimal digit of the first best header in `path` to another valid digit.
void alterFirstHeader(const std::filesystem::path& path) {
    std::string text = readFile(path);
    const auto key = text.find("\"bestHeader\"");
    ASSERT_NE(key, std::string::npos);
    const auto value = text.find('"', text.find(':', key));
    char& digit = text[value + 1 + 20];
    digit = digit == '0' ? '1' : '0';
    testing::writeText(path, text);
}

int run(const std::string& arguments) {
    const std::string command =
        std::string(CORVANTA_VERIFY_PROGRAM) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LedgerReport, ALedgerInFileAndJournalIsIntactAndShowsTheSheetsFigures) {
    TempDir folder;
    const std::size_t count = ProofOfMining::foldAfterLines + 7;
    const auto file = writeLedger(folder, count);
    ASSERT_TRUE(std::filesystem::exists(journalOf(file)));

    const auto expected = ProofOfMining::verify(ProofOfMining::load(file));
    const Report report = check(file);
    EXPECT_EQ(report.verdict, Verdict::intact) << report.errors;
    EXPECT_EQ(report.errors, "");
    EXPECT_NE(report.text.find("Entries                     " + std::to_string(count) + "\n"),
              std::string::npos)
        << report.text;
    // The fold took the first 513 entries into the file.
    EXPECT_NE(report.text.find("Journal                     6 line(s) read"), std::string::npos);
    EXPECT_NE(report.text.find("Anchored from block         200  " + std::string(64, '0')),
              std::string::npos);
    EXPECT_NE(report.text.find("Network blocks covered      " + std::to_string(count)),
              std::string::npos);
    EXPECT_NE(report.text.find("Proven difficulty           " +
                               compactDifficulty(expected.bestDifficultyProven)),
              std::string::npos);
    EXPECT_NE(report.text.find("(" + std::to_string(expected.hashesReported) + ")"),
              std::string::npos);
    EXPECT_NE(report.text.find("Hash chain intact, headers re-verified"), std::string::npos);
}

TEST(LedgerReport, OneByteChangedInAHeaderNamesTheEntry) {
    for (const bool inJournal : {false, true}) {
        TempDir folder;
        const auto file = writeLedger(folder, inJournal ? 6 : ProofOfMining::foldAfterLines + 1);
        alterFirstHeader(inJournal ? journalOf(file) : file);
        const Report report = check(file);
        EXPECT_EQ(report.verdict, Verdict::altered);
        // Entry 1 carries the first header; its own hash changed with it, so entry 2's link no
        // longer holds either.
        EXPECT_NE(report.errors.find("entry 1: its best header does not hash"), std::string::npos)
            << report.errors;
        EXPECT_NE(report.errors.find("broken at entry 2"), std::string::npos) << report.errors;
        EXPECT_NE(report.text.find("INVALID at entries 1"), std::string::npos);
        EXPECT_EQ(run(file.string()), 1);
    }
}

TEST(LedgerReport, DamagedOrMissingInputIsAClearErrorNotAVerdict) {
    TempDir folder;
    const auto file = writeLedger(folder, 4);  // journal only, no file yet
    ASSERT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(check(file).verdict, Verdict::intact);

    // A journal line out of place.
    std::string journal = readFile(journalOf(file));
    const auto second = journal.find('\n') + 1;
    testing::writeText(journalOf(file), journal.substr(second));
    Report report = check(file);
    EXPECT_EQ(report.verdict, Verdict::damaged);
    EXPECT_NE(report.errors.find("line 1"), std::string::npos) << report.errors;
    EXPECT_NE(report.errors.find("where entry 0 was due"), std::string::npos) << report.errors;

    // An interrupted last write is no entry and no damage.
    testing::writeText(journalOf(file), journal + "{\"index\":4,");
    report = check(file);
    EXPECT_EQ(report.verdict, Verdict::intact);
    EXPECT_NE(report.text.find("Entries                     4\n"), std::string::npos);
    EXPECT_NE(report.errors.find("never finished"), std::string::npos);

    // An undecodable file, a missing one, a pipe in the ledger's place: none is waited on.
    testing::writeText(file, "[{\"index\": 0,");
    report = check(file);
    EXPECT_EQ(report.verdict, Verdict::damaged);
    EXPECT_NE(report.errors.find("is damaged and cannot be checked"), std::string::npos);
    EXPECT_EQ(check(folder.path() / "none.json").verdict, Verdict::damaged);
    const auto pipe = folder.path() / "pipe.json";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    report = check(pipe);
    EXPECT_EQ(report.verdict, Verdict::damaged);
    EXPECT_NE(report.errors.find("not a regular file"), std::string::npos);
    EXPECT_EQ(run(pipe.string()), 2);
}

// A best header of a small proven difficulty (between 1e-7 and 1e-5), so that a few thousand
// declared hashes are coherent with it.
CPUEngine::BestAttempt smallProof() {
    CPUEngine::BestAttempt attempt{};
    for (std::uint32_t nonce = 0;; ++nonce) {
        std::memcpy(attempt.headerBytes.data() + 76, &nonce, sizeof nonce);
        const auto digest = sha256::doubleDigest(attempt.headerBytes);
        auto display = digest;
        std::reverse(display.begin(), display.end());
        const double difficulty = Difficulty::value(display);
        if (difficulty >= 1e-7 && difficulty <= 1e-5) {
            std::copy(digest.begin(), digest.end(), attempt.digest.begin());
            return attempt;
        }
    }
}

// Each verdict has its own status, on the program itself: 0, 1, 2 and 3.
TEST(LedgerReport, EachVerdictIsItsOwnExitStatus) {
    const auto proof = smallProof();
    const auto ledgerDeclaring = [&](const TempDir& folder, std::vector<std::uint64_t> hashes) {
        const auto file = folder.path() / "regtest.json";
        ProofOfMining ledger(file);
        for (std::size_t i = 0; i < hashes.size(); ++i) {
            ledger.append(std::int64_t(300 + i), std::string(64, 'c'), hashes[i],
                          i == 0 ? std::optional(proof) : std::nullopt, WallClock::now());
        }
        return file;
    };
    TempDir honest, altered, inflated, wrapped, twice;
    EXPECT_EQ(run(ledgerDeclaring(honest, {3000, 1200}).string()), 0);

    const auto alteredFile = writeLedger(altered, 6);
    alterFirstHeader(journalOf(alteredFile));
    EXPECT_EQ(run(alteredFile.string()), 1);

    // The same key twice in a journal line: the application refuses the entry, so does the check.
    const auto twiceFile = ledgerDeclaring(twice, {3000, 1200, 5});
    auto journal = readFile(journalOf(twiceFile));
    const std::string key = "\"networkHeight\":302";
    journal.replace(journal.find(key), key.size(), "\"networkHeight\":9," + key);
    testing::writeText(journalOf(twiceFile), journal);
    const Report refused = check(twiceFile);
    EXPECT_EQ(refused.verdict, Verdict::damaged);
    EXPECT_NE(refused.errors.find("line 3"), std::string::npos) << refused.errors;
    EXPECT_NE(refused.errors.find("twice"), std::string::npos) << refused.errors;
    EXPECT_NE(refused.text.find("Entries                     2\n"), std::string::npos);
    EXPECT_EQ(run(twiceFile.string()), 2);

    EXPECT_EQ(run(ledgerDeclaring(inflated, {3000, 1'000'000'000'000}).string()), 3);
    // 2^64 + 4,200 hashes: wrapped, the sum would read as 4,200, coherent with this proof.
    const auto wrappedFile = ledgerDeclaring(wrapped, {UINT64_MAX, 4'201});
    const Report beyond = check(wrappedFile);
    EXPECT_EQ(beyond.verdict, Verdict::suspect) << beyond.text;
    EXPECT_NE(beyond.text.find("more than 64 bits can count"), std::string::npos) << beyond.text;
    EXPECT_EQ(beyond.text.find("consistent"), std::string::npos) << beyond.text;
    EXPECT_EQ(run(wrappedFile.string()), 3);
}

TEST(LedgerReport, TheProgramsCommandLine) {
    TempDir folder;
    const auto file = writeLedger(folder, 3);
    EXPECT_EQ(run(file.string()), 0);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--frobnicate"), 2);
    EXPECT_EQ(run(file.string() + " " + file.string()), 2);
    EXPECT_EQ(run((folder.path() / "missing.json").string()), 2);
}

// Past its bound a file is refused before a byte of it is read; sparse files stand in for huge
// ones. At the bound it is read as any other.
TEST(LedgerReport, AFilePastItsBoundIsRefusedUnread) {
    for (const bool journal : {false, true}) {
        SCOPED_TRACE(journal ? "journal" : "ledger file");
        TempDir folder;
        const auto file = writeLedger(folder, 3);  // in the journal only
        if (!journal) writeFileAtomically(file, ProofOfMining::encode(ProofOfMining::load(file)));
        const auto grown = journal ? journalOf(file) : file;
        const auto bound = journal ? ledger::journalBound : ledger::ledgerFileBound;

        std::filesystem::resize_file(grown, bound + 1);
        Report report = check(file);
        EXPECT_EQ(report.verdict, Verdict::damaged);
        EXPECT_NE(report.errors.find(grown.string() + " is larger than"), std::string::npos)
            << report.errors;
        EXPECT_NE(report.errors.find("it was not read"), std::string::npos);
        EXPECT_EQ(report.text, "");
        EXPECT_EQ(run(file.string()), 2);

        if (journal) {
            // Its lines, then zeros that never end a line: an unfinished last line, no damage.
            std::filesystem::resize_file(grown, bound);
            report = check(file);
            EXPECT_EQ(report.verdict, Verdict::intact) << report.errors;
            EXPECT_NE(report.text.find("Entries                     3\n"), std::string::npos);
        }
    }
}

// The application never reads a journal through a link: the check refuses one, naming it,
// rather than leave its entries out and call the shorter ledger sound.
TEST(LedgerReport, AJournalThroughALinkIsRefusedNamingTheLinkNeverLeftOut) {
    TempDir folder;
    const auto file = writeLedger(folder, ProofOfMining::foldAfterLines + 6);
    const auto elsewhere = folder.path() / "kept.journal";
    std::filesystem::rename(journalOf(file), elsewhere);
    std::filesystem::create_symlink(elsewhere, journalOf(file));

    Report report = check(file);
    EXPECT_EQ(report.verdict, Verdict::damaged);
    EXPECT_NE(report.errors.find(journalOf(file).string() + " is a symbolic link"),
              std::string::npos)
        << report.errors;
    EXPECT_EQ(report.text.find("Hash chain intact, headers re-verified"), std::string::npos);
    EXPECT_EQ(run(file.string()), 2);

    // Put back as a file, it is read whole, once.
    std::filesystem::remove(journalOf(file));
    std::filesystem::rename(elsewhere, journalOf(file));
    report = check(file);
    EXPECT_EQ(report.verdict, Verdict::intact) << report.errors;
    EXPECT_NE(report.text.find("Journal                     5 line(s) read\n"), std::string::npos)
        << report.text;
    EXPECT_EQ(ProofOfMining::load(file).size(), ProofOfMining::foldAfterLines + 6);

    // "none" is said only when there is no journal at all.
    testing::writeText(journalOf(file), "");
    EXPECT_NE(check(file).text.find("Journal                     0 line(s) read\n"),
              std::string::npos);
    std::filesystem::remove(journalOf(file));
    report = check(file);
    EXPECT_NE(report.text.find("Journal                     none\n"), std::string::npos);
    EXPECT_NE(report.text.find("Entries                     " +
                               std::to_string(ProofOfMining::foldAfterLines + 1) + "\n"),
              std::string::npos);

    // The ledger itself may be named through a link; its journal is the one beside the name.
    const auto named = folder.path() / "named.json";
    std::filesystem::create_symlink(file, named);
    EXPECT_EQ(check(named).verdict, Verdict::intact);
}

TEST(LedgerReport, NumbersReadAsOnTheSheet) {
    EXPECT_EQ(hashCount(999), "999");
    EXPECT_EQ(hashCount(4'294'967'296u), "4.29 G");
    EXPECT_EQ(compactDifficulty(123'456'789), "123.46 M");
    EXPECT_EQ(compactDifficulty(0.5), "0.50");
    EXPECT_EQ(compactDifficulty(0), "—");
}

}  // namespace
}  // namespace corvanta::verify

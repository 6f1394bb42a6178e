#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

using testing::TempDir;

std::filesystem::path journal(const std::filesystem::path& file) {
    return std::filesystem::path(file.string() + ".journal");
}

CPUEngine::BestAttempt attemptFor(std::uint8_t seed) {
    CPUEngine::BestAttempt attempt{};
    for (std::size_t i = 0; i < attempt.headerBytes.size(); ++i) {
        attempt.headerBytes[i] = static_cast<std::uint8_t>(seed + i);
    }
    const auto digest = sha256::doubleDigest(attempt.headerBytes);
    std::copy(digest.begin(), digest.end(), attempt.digest.begin());
    return attempt;
}

std::vector<ProofEntry> ledgerOfFive(ProofOfMining& ledger) {
    for (int i = 0; i < 5; ++i) {
        ledger.append(
            100 + i, std::string(64, 'a' + i), 1000u * (i + 1),
            i % 2 ? std::optional(attemptFor(static_cast<std::uint8_t>(i))) : std::nullopt,
            WallClock::now());
    }
    return ledger.allEntries();
}

TEST(ProofOfMining, CanonicalFormAndChaining) {
    const ProofEntry entry{
        .index = 0,
        .timestamp = wholeSeconds(WallClock::time_point(std::chrono::milliseconds(1900))),
        .networkHeight = 5,
        .networkBlockHash = "h",
        .hashesReported = 7,
        .bestHeader = std::nullopt,
        .bestDigest = std::nullopt,
        .previousEntryHash = ProofOfMining::rootHash};
    EXPECT_EQ(entry.canonicalText(), "0|1|5|h|7|-|-|" + std::string(64, '0'));

    TempDir folder;
    ProofOfMining ledger(folder.path() / "proof" / "regtest.json");
    EXPECT_EQ(ledger.headHash(), ProofOfMining::rootHash);
    const auto first = ledger.append(1, std::string(64, 'a'), 1, std::nullopt, WallClock::now());
    const auto second = ledger.append(2, std::string(64, 'b'), 2, attemptFor(3), WallClock::now());
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(first.previousEntryHash, ProofOfMining::rootHash);
    EXPECT_EQ(second.index, 1);
    EXPECT_EQ(second.previousEntryHash, first.entryHash());
    EXPECT_EQ(second.bestHeader->size(), 160u);
    EXPECT_EQ(ledger.headHash(), second.entryHash());

    // Reloaded entries hash the same, and absent values are left out of what is written.
    const auto reloaded = ProofOfMining::load(ledger.fileURL());
    EXPECT_EQ(reloaded, ledger.allEntries());
    EXPECT_EQ(ProofOfMining(ledger.fileURL()).headHash(), second.entryHash());
    EXPECT_EQ(readFile(ledger.journalURL()).find("null"), std::string::npos);
    EXPECT_TRUE(readFile(ledger.journalURL()).starts_with("{\"hashesReported\":1,\"index\":0,"));
}

// The file holds the ledger as one array once the journal is folded into it; in between, loading
// reads both, and a fold cut short before the journal went counts nothing twice.
TEST(ProofOfMining, TheJournalIsFoldedIntoTheFileAndNeverCountedTwice) {
    TempDir folder;
    const auto file = folder.path() / "proof" / "regtest.json";
    ProofOfMining ledger(file);
    std::vector<ProofEntry> appended;
    for (std::size_t i = 0; i < ProofOfMining::foldAfterLines; ++i) {
        appended.push_back(ledger.append(std::int64_t(i), std::string(64, 'c'), i, attemptFor(1),
                                         WallClock::now()));
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    const std::string journalBeforeFold = readFile(ledger.journalURL());

    appended.push_back(
        ledger.append(1000, std::string(64, 'd'), 1, std::nullopt, WallClock::now()));
    EXPECT_FALSE(std::filesystem::exists(ledger.journalURL()));
    const auto folded = ProofOfMining::decode(readFile(file));
    EXPECT_EQ(folded, appended);
    EXPECT_TRUE(readFile(file).starts_with("[{\"bestDigest\":"));
    EXPECT_EQ(readFile(file).find("null"), std::string::npos);

    // As if the fold had ended before removing the journal, and one more entry had followed.
    const auto next = ledger.append(1001, std::string(64, 'e'), 2, std::nullopt, WallClock::now());
    appendToFileDurably(ledger.journalURL(), journalBeforeFold);
    const std::string stale = readFile(ledger.journalURL());
    writeFileAtomically(ledger.journalURL(), journalBeforeFold + stale);
    appended.push_back(next);

    ProofOfMining reloaded(file);
    EXPECT_EQ(reloaded.allEntries(), appended);
    EXPECT_EQ(ProofOfMining::load(file), appended);
    EXPECT_EQ(reloaded.headHash(), next.entryHash());
    const auto summary = reloaded.summary(1000);
    EXPECT_TRUE(summary.verification.isIntact());
    EXPECT_EQ(summary.verification.entriesChecked, std::int64_t(appended.size()));
    EXPECT_EQ(summary.recent.size(), ProofOfMining::recentKept);
    EXPECT_EQ(summary.recent.back(), next);
    EXPECT_EQ(reloaded.quarantinedJournalURL(), std::nullopt);
}

// A journal line that cannot be read, or that is not the next entry, ends what the journal gives;
// the journal is then kept aside as it was, and the ledger goes on from what it could read.
TEST(ProofOfMining, AJournalItCannotFollowIsKeptAsideAndTheLedgerGoesOn) {
    for (const std::string& bad : {std::string("{\"index\":"), std::string("garbage")}) {
        SCOPED_TRACE(bad);
        TempDir folder;
        const auto file = folder.path() / "regtest.json";
        std::vector<ProofEntry> kept;
        {
            ProofOfMining ledger(file);
            for (int i = 0; i < 3; ++i) {
                kept.push_back(
                    ledger.append(i, std::string(64, 'a'), 1, std::nullopt, WallClock::now()));
            }
        }
        appendToFileDurably(journal(file), bad + "\n");
        {
            // An entry out of place after the bad line is not taken either.
            ProofOfMining writer(folder.path() / "other.json");
            for (int i = 0; i < 5; ++i) {
                writer.append(i, std::string(64, 'b'), 1, std::nullopt, WallClock::now());
            }
            const auto lines = readFile(writer.journalURL());
            appendToFileDurably(journal(file), lines.substr(lines.rfind('{')));
        }
        const std::string damaged = readFile(journal(file));

        ProofOfMining ledger(file);
        EXPECT_EQ(ledger.allEntries(), kept);
        const auto next = ledger.append(9, std::string(64, 'f'), 1, std::nullopt, WallClock::now());
        EXPECT_EQ(next.index, 3);
        EXPECT_EQ(next.previousEntryHash, kept.back().entryHash());
        kept.push_back(next);
        EXPECT_EQ(ProofOfMining::decode(readFile(file)), kept);
        ASSERT_TRUE(ledger.quarantinedJournalURL());
        EXPECT_EQ(readFile(*ledger.quarantinedJournalURL()), damaged);
        EXPECT_FALSE(std::filesystem::exists(ledger.journalURL()));
        EXPECT_TRUE(ProofOfMining(file).summary(10).verification.isIntact());
    }
}

// An entry that could not be written stays in the ledger and reaches the file with the next
// write that can.
TEST(ProofOfMining, AnEntryThatCouldNotBeWrittenIsWrittenWithTheNext) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    ProofOfMining ledger(file);
    const auto first = ledger.append(1, std::string(64, 'a'), 1, std::nullopt, WallClock::now());
    // A folder where the journal goes, for a while: no line can be added to it.
    const auto away = folder.path() / "away";
    std::filesystem::rename(ledger.journalURL(), away);
    std::filesystem::create_directory(ledger.journalURL());
    EXPECT_THROW(ledger.append(2, std::string(64, 'b'), 2, std::nullopt, WallClock::now()),
                 FileWriteError);
    std::filesystem::remove(ledger.journalURL());
    std::filesystem::rename(away, ledger.journalURL());
    const auto third = ledger.append(3, std::string(64, 'c'), 3, std::nullopt, WallClock::now());
    EXPECT_EQ(third.index, 2);

    const auto onDisk = ProofOfMining::load(file);
    ASSERT_EQ(onDisk.size(), 3u);
    EXPECT_EQ(onDisk.front(), first);
    EXPECT_EQ(onDisk[1].networkHeight, 2);
    EXPECT_EQ(onDisk.back(), third);
    EXPECT_TRUE(ProofOfMining::verify(onDisk).isIntact());
}

TEST(ProofOfMining, VerifiesWorkAndFindsTampering) {
    TempDir folder;
    ProofOfMining ledger(folder.path() / "l.json");
    EXPECT_EQ(ProofOfMining::verify({}), ProofVerification{});
    EXPECT_TRUE(ProofOfMining::verify({}).isIntact());
    EXPECT_FALSE(ProofOfMining::verify({}).firstAnchor);

    auto entries = ledgerOfFive(ledger);
    const auto intact = ProofOfMining::verify(entries);
    EXPECT_TRUE(intact.isIntact());
    EXPECT_EQ(intact.entriesChecked, 5);
    EXPECT_EQ(intact.hashesReported, 15000u);
    EXPECT_EQ(intact.firstAnchor, (ProofAnchor{100, std::string(64, 'a')}));
    EXPECT_EQ(intact.lastAnchor, (ProofAnchor{104, std::string(64, 'e')}));
    EXPECT_GT(intact.bestDifficultyProven, 0);
    EXPECT_EQ(ProofOfMining::verify(entries), intact);

    auto edited = entries;
    edited[3].hashesReported += 1;
    EXPECT_EQ(ProofOfMining::verify(edited).brokenChainAt, std::vector<std::int64_t>{4});
    edited = entries;
    edited[4].hashesReported += 1;  // the last entry has no successor to give it away
    EXPECT_TRUE(ProofOfMining::verify(edited).isIntact());

    edited = entries;
    edited.erase(edited.begin() + 2);
    EXPECT_EQ(ProofOfMining::verify(edited).brokenChainAt, std::vector<std::int64_t>{3});

    edited = entries;  // a digest left in hash byte order is not the proven digest
    const auto attempt = attemptFor(1);
    edited[1].bestDigest = BitcoinEncoding::hexString(
        std::vector<std::uint8_t>(attempt.digest.begin(), attempt.digest.end()));
    EXPECT_EQ(ProofOfMining::verify(edited).invalidWorkAt, std::vector<std::int64_t>{1});

    // A claim that cannot be re-hashed is never taken on trust.
    for (const auto& spoil : std::vector<std::function<void(ProofEntry&)>>{
             [](auto& e) { e.bestHeader = e.bestHeader->substr(2); },  // 158 digits
             [](auto& e) { e.bestHeader = "zz" + e.bestHeader->substr(2); },
             [](auto& e) { e.bestHeader.reset(); },
             [](auto& e) { e.bestDigest.reset(); },
         }) {
        edited = entries;
        spoil(edited[1]);
        EXPECT_EQ(ProofOfMining::verify(edited).invalidWorkAt, std::vector<std::int64_t>{1});
    }

    edited = entries;
    edited[0].hashesReported = UINT64_MAX;
    // Past 64 bits the sum never wraps round to a small count.
    EXPECT_EQ(ProofOfMining::verify(edited).hashesReported, ProofVerification::hashesBeyondCount);

    // The ledger's own summary agrees with a verification of every entry, loaded or appended.
    const auto summary = ledger.summary(2);
    EXPECT_EQ(summary.verification, intact);
    EXPECT_EQ(summary.verification.bestDifficultyProven, intact.bestDifficultyProven);
    EXPECT_EQ(summary.verification.lastAnchor, intact.lastAnchor);
    EXPECT_EQ(summary.recent, std::vector<ProofEntry>(entries.end() - 2, entries.end()));
    edited = entries;
    edited[3].hashesReported += 1;
    writeFileAtomically(folder.path() / "tampered.json", ProofOfMining::encode(edited));
    ProofOfMining tampered(folder.path() / "tampered.json");
    tampered.append(105, std::string(64, 'f'), 1, std::nullopt, WallClock::now());
    const auto afterAppend = tampered.summary(12);
    EXPECT_EQ(afterAppend.verification, ProofOfMining::verify(tampered.allEntries()));
    EXPECT_EQ(afterAppend.verification.brokenChainAt, std::vector<std::int64_t>{4});
    EXPECT_EQ(afterAppend.recent.size(), 6u);
}

TEST(ProofOfMining, PutsAnUndecodableLedgerAsideAndStartsAgainFromTheRoot) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    writeFileAtomically(file, "not json");
    EXPECT_TRUE(ProofOfMining::load(file).empty());
    EXPECT_TRUE(std::filesystem::exists(file));  // load moves nothing

    ProofOfMining ledger(file);
    ASSERT_TRUE(ledger.quarantinedFileURL());
    EXPECT_EQ(readFile(*ledger.quarantinedFileURL()), "not json");
    EXPECT_EQ(
        ledger.append(1, std::string(64, 'a'), 1, std::nullopt, WallClock::now()).previousEntryHash,
        ProofOfMining::rootHash);
}

// The ledger file of `entries` with one field of one record replaced.
std::string ledgerWith(const std::vector<ProofEntry>& entries, std::size_t at, const char* key,
                       json::Value value) {
    auto array = json::parse(ProofOfMining::encode(entries));
    array[at][key] = std::move(value);
    return json::dump(array);
}

TEST(ProofOfMining, PutsAsideALedgerItCannotTrustAndRefusesToWriteOne) {
    TempDir folder;
    const auto entries = [&] {
        ProofOfMining ledger(folder.path() / "source.json");
        return ledgerOfFive(ledger);
    }();
    const std::string hash(64, 'a');
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"number no double holds",
         [&] {
             auto text = ProofOfMining::encode(entries);
             const std::string count = "\"hashesReported\":2000";
             return text.replace(text.find(count), count.size(), "\"hashesReported\":1e400");
         }()},
        {"separator inside a field", ledgerWith(entries, 0, "networkBlockHash", "a|b")},
        {"upper-case hash", ledgerWith(entries, 0, "networkBlockHash", std::string(64, 'A'))},
        {"short previous hash", ledgerWith(entries, 2, "previousEntryHash", "00")},
        {"157-digit header", ledgerWith(entries, 1, "bestHeader", std::string(157, '0'))},
        {"digest without header", ledgerWith(entries, 0, "bestDigest", hash)},
        {"index not its position", ledgerWith(entries, 3, "index", 2)},
        {"negative height", ledgerWith(entries, 4, "networkHeight", -1)},
        {"date the clock cannot hold", ledgerWith(entries, 2, "timestamp", "2263-01-01T00:00:00Z")},
        {"nesting 75,000 deep", std::string(75'000, '[') + std::string(75'000, ']')},
        {"a key given twice",
         [&] {
             auto text = ProofOfMining::encode(entries);
             const std::string index = "\"index\":3";
             return text.replace(text.find(index), index.size(), index + "," + index);
         }()},
    };
    for (const auto& [why, text] : damaged) {
        SCOPED_TRACE(why);
        TempDir place;
        const auto file = place.path() / "regtest.json";
        writeFileAtomically(file, text);
        EXPECT_TRUE(ProofOfMining::load(file).empty());
        ProofOfMining ledger(file);
        EXPECT_TRUE(ledger.allEntries().empty());
        ASSERT_TRUE(ledger.quarantinedFileURL());
        EXPECT_EQ(readFile(*ledger.quarantinedFileURL()), text);
    }
    EXPECT_EQ(ProofOfMining::decode(ledgerWith(entries, 3, "index", 3)), entries);

    ProofOfMining ledger(folder.path() / "regtest.json");
    for (const auto& anchor : {std::string("a|b"), std::string(63, 'a'), std::string(64, 'A')}) {
        EXPECT_THROW(ledger.append(1, anchor, 1, std::nullopt, WallClock::now()),
                     std::invalid_argument);
    }
    EXPECT_THROW(ledger.append(-1, hash, 1, std::nullopt, WallClock::now()), std::invalid_argument);
    EXPECT_TRUE(ledger.allEntries().empty());
    EXPECT_FALSE(std::filesystem::exists(ledger.fileURL()));
}

}  // namespace
}  // namespace corvanta

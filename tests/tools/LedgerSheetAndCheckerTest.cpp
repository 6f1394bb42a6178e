// The application's ledger sheet and the command-line checker, run on the same ledgers: every
// figure the sheet shows and every verdict must read the same in both.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "LedgerReport.h"
#include "Localization/Localization.h"
#include "Session/SessionHarness.h"
#include "Session/SessionRecords.h"
#include "Settings/SettingsViewRules.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/ledger/LedgerFigures.h"
#include "corvanta/ledger/LedgerStory.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using testing::SessionHarness;
using testing::TempDir;

// Bitcoin's first block header: a real proof of work, difficulty 2536.43 by its own digest.
constexpr std::string_view kGenesisHeader =
    "0100000000000000000000000000000000000000000000000000000000000000000000003ba3edfd7a7b12b27ac7"
    "2c3e67768f617fc81bc3888a51323a9fb8aa4b1e5e4a29ab5f49ffff001d1dac2b7c";

CPUEngine::BestAttempt attemptOf(const std::vector<std::uint8_t>& header) {
    CPUEngine::BestAttempt attempt{};
    std::copy(header.begin(), header.end(), attempt.headerBytes.begin());
    const auto digest = sha256::doubleDigest(attempt.headerBytes);
    std::copy(digest.begin(), digest.end(), attempt.digest.begin());
    return attempt;
}

CPUEngine::BestAttempt genesisAttempt() {
    return attemptOf(*BitcoinEncoding::hexBytes(kGenesisHeader));
}

CPUEngine::BestAttempt arbitraryAttempt(std::size_t seed) {
    std::vector<std::uint8_t> header(80);
    for (std::size_t i = 0; i < header.size(); ++i) header[i] = std::uint8_t(seed * 7 + i);
    return attemptOf(header);
}

// `count` entries as the application appends them, declaring `totalHashes` in all; some carry a
// best header, the genesis one among them.
std::vector<ProofEntry> entriesDeclaring(std::size_t count, std::uint64_t totalHashes) {
    const TempDir scratch;
    ProofOfMining ledger(scratch.path() / "ledger.json");
    const auto start = WallClock::time_point(std::chrono::seconds(1'780'000'000));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t hashes =
            totalHashes / count + (i + 1 == count ? totalHashes % count : 0);
        const std::optional<CPUEngine::BestAttempt> attempt =
            i == count / 2 ? std::optional(genesisAttempt())
            : i % 3 == 0   ? std::optional(arbitraryAttempt(i))
                           : std::nullopt;
        ledger.append(std::int64_t(850'000 + 2 * i), std::string(64, "0123456789abcdef"[i % 16]),
                      hashes, attempt, start + std::chrono::minutes(10 * i));
    }
    return ledger.allEntries();
}

std::string journalLine(const ProofEntry& entry) {
    const std::string array = ProofOfMining::encode({entry});
    return array.substr(1, array.size() - 2) + "\n";
}

// The file holds the first `inFile` entries, the journal `journal` lines.
void writeLedger(const std::filesystem::path& file, const std::vector<ProofEntry>& entries,
                 std::size_t inFile, const std::string& journal) {
    if (inFile > 0) {
        writeFileAtomically(file, ProofOfMining::encode(
                                      {entries.begin(), entries.begin() + std::ptrdiff_t(inFile)}));
    }
    if (!journal.empty()) writeFileAtomically(file.string() + ".journal", journal);
}

std::string linesOf(const std::vector<ProofEntry>& entries, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += journalLine(entries[i]);
    return text;
}

// What the sheet shows: the session model's verification, through the sheet's own rules.
struct Sheet {
    bool verified = false;
    bool intact = false;
    std::string status;  // the integrity card's status line, in English
    int refusedLine = 0;
    std::string setAside;
    std::string entries, broken, invalid, firstHeight, lastHeight, covered, difficulty, hashes;
    std::optional<std::string> expected, crossCheck;
    bool coherent = true;
};

Sheet sheetOf(const SessionHarness& harness) {
    const auto model = harness.make();
    QSignalSpy verified(model.get(), &MiningSessionModel::proofVerificationChanged);
    EXPECT_TRUE(testing::waitUntil([&] { return verified.count() == 1; }));
    const QVariant value = model->proofVerificationValue();
    const auto view = value.value<ProofVerificationView>();
    const SettingsViewRules rules;
    Sheet sheet;
    sheet.verified = rules.ledgerIntegrity(value, model->proofLogUnreadable()) == "verified";
    sheet.intact = view.isIntact;
    const auto previous = Localization::shared().language();
    Localization::shared().setLanguage(AppLanguage::english);
    sheet.status = rules
                       .ledgerStatus(value, model->proofLogUnreadable(), model->proofSetAsideKind(),
                                     model->proofLogSetAside(), model->proofJournalRefusedLine())
                       .value("text")
                       .toString()
                       .toStdString();
    Localization::shared().setLanguage(previous);
    sheet.refusedLine = model->proofJournalRefusedLine();
    sheet.setAside = model->proofLogSetAside().toStdString();
    sheet.entries = std::to_string(view.entriesChecked);
    sheet.broken = rules.firstIndices(view.brokenChainAt).toStdString();
    sheet.invalid = rules.firstIndices(view.invalidWorkAt).toStdString();
    const auto first = view.firstAnchor.toMap().value("height").toLongLong();
    const auto last = view.lastAnchor.toMap().value("height").toLongLong();
    // As the sheet's rows compute them.
    sheet.firstHeight = std::to_string(first);
    sheet.lastHeight = std::to_string(last);
    sheet.covered = std::to_string(last - first + 1);
    sheet.difficulty = rules.difficulty(view.bestDifficultyProven).toStdString();
    sheet.hashes = rules.hashCount(view.hashesReportedText).toStdString();
    const QVariantMap declared = rules.declaredCheck(value);
    if (!declared.isEmpty()) {
        sheet.expected = declared.value("expected").toString().toStdString();
        // "×50.00 — cohérent": the ratio is the figure, the word is the sheet's language.
        sheet.crossCheck = declared.value("text").toString().section(" — ", 0, 0).toStdString();
        sheet.coherent = declared.value("colorRole").toString() == "textPrimary";
    }
    return sheet;
}

// The checker's report as label -> value.
std::map<std::string, std::string> rowsOf(const std::string& text) {
    std::map<std::string, std::string> rows;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const auto gap = line.find("  ");
        if (gap == std::string::npos) continue;
        rows[line.substr(0, gap)] = line.substr(line.find_first_not_of(' ', gap));
    }
    return rows;
}

int exitStatusOn(const std::filesystem::path& file) {
    const std::string command =
        std::string(CORVANTA_VERIFY_PROGRAM) + " '" + file.string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expectSameFigures(const Sheet& sheet, const verify::Report& report) {
    auto rows = rowsOf(report.text);
    ASSERT_TRUE(sheet.verified);
    EXPECT_EQ(rows["Entries"], sheet.entries);
    EXPECT_TRUE(rows["Chain of entry hashes"].starts_with(
        sheet.broken.empty() ? "intact" : "BROKEN at entries " + sheet.broken));
    EXPECT_TRUE(rows["Best headers re-hashed"].starts_with(
        sheet.invalid.empty() ? "all match" : "INVALID at entries " + sheet.invalid));
    EXPECT_TRUE(rows["Anchored from block"].starts_with(sheet.firstHeight + "  "));
    EXPECT_TRUE(rows["up to block"].starts_with(sheet.lastHeight + "  "));
    EXPECT_EQ(rows["Network blocks covered"], sheet.covered);
    EXPECT_TRUE(rows["Proven difficulty"].starts_with(sheet.difficulty)) << sheet.difficulty;
    EXPECT_TRUE(rows["Hashes reported"].starts_with(sheet.hashes + " (")) << sheet.hashes;
    ASSERT_EQ(rows.contains("Cross-check"), sheet.crossCheck.has_value());
    if (sheet.crossCheck) {
        EXPECT_EQ(rows["Expected from the proof"], *sheet.expected);
        EXPECT_EQ(rows["Cross-check"],
                  *sheet.crossCheck + " — " + (sheet.coherent ? "consistent" : "SUSPECT"));
    }
}

// The sheet's verdict as the checker's status says it.
verify::Verdict verdictOf(const Sheet& sheet) {
    if (!sheet.intact) return verify::Verdict::altered;
    if (sheet.refusedLine > 0) return verify::Verdict::damaged;
    return sheet.coherent ? verify::Verdict::intact : verify::Verdict::suspect;
}

// The status line the sheet shows is the checker's verdict in the same words, a suspect one too:
// a suspect cross-check never sits under an intact chain's headline.
void expectSameVerdictWords(const Sheet& sheet, const verify::Report& report) {
    EXPECT_EQ(sheet.status, rowsOf(report.text)["Verdict"]);
}

TEST(LedgerSheetAndChecker, TellTheSameFiguresAndVerdictsOnTheSameLedgers) {
    // The declared hashes are set against the proven difficulty at the edge of the coherent
    // range: a change of the range, or of any figure, shows in both or fails here.
    const std::size_t count = ProofOfMining::foldAfterLines + 9;
    const double proven = ProofOfMining::verify(entriesDeclaring(count, 0)).bestDifficultyProven;
    const double expected = proven * ledger::hashesPerDifficulty;
    const auto atTheEdge = std::uint64_t(expected * 49.999);
    const auto pastTheEdge = std::uint64_t(expected * 50.5);
    const auto entries = entriesDeclaring(count, atTheEdge);
    const std::size_t folded = ProofOfMining::foldAfterLines + 1;

    std::vector<ProofEntry> tampered = entries;
    for (std::size_t i = 1; i <= ledger::indicesShown + 1; ++i) tampered[i].hashesReported += 1;
    tampered[count / 2].bestHeader->replace(
        70, 1, tampered[count / 2].bestHeader->at(70) == '0' ? "1" : "0");
    auto foreign = entriesDeclaring(count + 1, atTheEdge + 1);

    const struct {
        const char* name;
        std::vector<ProofEntry> entries;
        std::size_t inFile;
        std::string journal;
        verify::Verdict status;
        std::size_t shown;  // entries both must count
    } ledgers[] = {
        {"intact, file and journal", entries, folded, linesOf(entries, folded, count),
         verify::Verdict::intact, count},
        {"altered", tampered, count, "", verify::Verdict::altered, count},
        // The fold wrote the file but was cut short before the journal went: its lines are in
        // the file already.
        {"fold cut short", entries, count, linesOf(entries, 0, folded), verify::Verdict::intact,
         count},
        // ... and a line left from a journal set aside, at the next index but chained elsewhere:
        // the application never takes it, and neither may the checker's figures.
        {"fold cut short over a refused line", entries, count,
         linesOf(entries, 0, 3) + journalLine(foreign[count]), verify::Verdict::damaged, count},
        // Entries that were only in the journal are gone; the file cannot tell.
        {"journal missing", entries, folded, "", verify::Verdict::intact, folded},
        {"suspect", entriesDeclaring(count, pastTheEdge), count, "", verify::Verdict::suspect,
         count},
    };
    for (const auto& ledger : ledgers) {
        SCOPED_TRACE(ledger.name);
        SessionHarness harness;
        const auto file = harness.proofFile();
        std::filesystem::create_directories(file.parent_path());
        writeLedger(file, ledger.entries, ledger.inFile, ledger.journal);

        const Sheet sheet = sheetOf(harness);
        const verify::Report report = verify::check(file);
        EXPECT_EQ(sheet.entries, std::to_string(ledger.shown));
        expectSameFigures(sheet, report);
        EXPECT_EQ(report.verdict, ledger.status) << report.text << report.errors;
        EXPECT_EQ(report.verdict, verdictOf(sheet)) << report.text << report.errors;
        expectSameVerdictWords(sheet, report);
        if (ledger.status == verify::Verdict::damaged) {
            // Both name the same line.
            EXPECT_NE(report.errors.find("line " + std::to_string(sheet.refusedLine) + ")"),
                      std::string::npos)
                << report.errors;
        }
        EXPECT_EQ(exitStatusOn(file), int(ledger.status));
    }
}

// A ledger cut short is set aside: the sheet says so and where it lies, and never calls what
// replaced it intact; the checker, run on what was set aside, refuses it as damaged.
TEST(LedgerSheetAndChecker, ALedgerCutShortIsSetAsideAndNeverShownIntact) {
    const auto entries = entriesDeclaring(75, 1000);
    SessionHarness harness;
    const auto file = harness.proofFile();
    std::filesystem::create_directories(file.parent_path());
    const auto whole = ProofOfMining::encode(entries);
    writeFileAtomically(file, whole.substr(0, whole.size() / 2));
    {
        const auto model = harness.make();
        ASSERT_TRUE(testing::waitUntil([&] { return !model->proofLogSetAside().isEmpty(); }));
        const auto aside = std::filesystem::path(model->proofLogSetAside().toStdString());
        EXPECT_EQ(aside.parent_path(), file.parent_path());
        EXPECT_EQ(readFile(aside), whole.substr(0, whole.size() / 2));
        EXPECT_TRUE(model->proofLogUnreadable());
        const SettingsViewRules rules;
        const auto status =
            rules.ledgerStatus(model->proofVerificationValue(), true, model->proofSetAsideKind(),
                               model->proofLogSetAside(), 0);
        EXPECT_FALSE(status.value("intact").toBool());
        EXPECT_NE(rules
                      .ledgerStoryCaption(model->proofSetAsideKind(), model->proofLogSetAside(), 0,
                                          model->proofLogFile())
                      .indexOf(model->proofLogSetAside()),
                  -1);
        EXPECT_EQ(exitStatusOn(aside), int(verify::Verdict::damaged));

        // New entries after it: the sheet still says an earlier ledger was set aside.
        model->setRunState(testing::runState(MiningSessionModel::RunStateKind::mining));
        model->recordProofEntry(900, QString(64, QLatin1Char('b')));
        ASSERT_TRUE(testing::waitUntil([&] { return model->proofEntryCount() == 1; }));
        EXPECT_FALSE(model->proofLogUnreadable());
        const auto after =
            rules.ledgerStatus(model->proofVerificationValue(), false, model->proofSetAsideKind(),
                               model->proofLogSetAside(), 0);
        EXPECT_FALSE(after.value("intact").toBool());
        EXPECT_EQ(model->proofLogSetAside().toStdString(), aside.string());
        EXPECT_EQ(rules
                      .ledgerIntegrityRow(model->proofVerificationValue(),
                                          model->proofSetAsideKind(), model->proofLogSetAside(), 0)
                      .indexOf("intact"),
                  -1);
    }
}

// The sheet shows the first six of seven broken entries and says nothing of the seventh; the
// checker shows the same six and counts them all.
TEST(LedgerSheetAndChecker, ShowTheSameFirstIndicesOfALongBreak) {
    const auto entries = entriesDeclaring(12, 1000);
    auto tampered = entries;
    for (std::size_t i = 0; i <= ledger::indicesShown; ++i) tampered[i].hashesReported += 1;
    SessionHarness harness;
    std::filesystem::create_directories(harness.proofFile().parent_path());
    writeLedger(harness.proofFile(), tampered, tampered.size(), "");

    const Sheet sheet = sheetOf(harness);
    EXPECT_EQ(std::count(sheet.broken.begin(), sheet.broken.end(), ','),
              std::ptrdiff_t(ledger::indicesShown) - 1);
    EXPECT_EQ(sheet.broken.find(std::to_string(ledger::indicesShown + 1)), std::string::npos);
    const auto rows = rowsOf(verify::check(harness.proofFile()).text);
    EXPECT_EQ(rows.at("Chain of entry hashes"), "BROKEN at entries " + sheet.broken + " … (" +
                                                    std::to_string(ledger::indicesShown + 1) +
                                                    " in all)");
}

// What corvanta-verify says, run as the sheet names it: "corvanta-verify <path>".
struct Checked {
    int status = -1;
    std::string out, err;
};

Checked runAsNamed(const std::string& command) {
    const std::string name = "corvanta-verify ";
    EXPECT_TRUE(command.starts_with(name)) << command;
    const TempDir scratch;
    const auto out = scratch.path() / "out";
    const auto err = scratch.path() / "err";
    const std::string line = std::string(CORVANTA_VERIFY_PROGRAM) + " " +
                             command.substr(name.size()) + " >'" + out.string() + "' 2>'" +
                             err.string() + "'";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

// What the sheet and the settings section say of the ledger and what it set aside, in English,
// and the event log's lines about it.
struct Told {
    std::string status, caption, row;
    bool intact = false;
    std::int64_t entries = 0;
    int refusedLine = 0;
    std::vector<std::string> log;
    QStringList captions;  // in each of the six languages
};

Told toldBy(MiningSessionModel& model) {
    const SettingsViewRules rules;
    const auto previous = Localization::shared().language();
    const auto caption = [&] {
        return rules.ledgerStoryCaption(model.proofSetAsideKind(), model.proofLogSetAside(),
                                        model.proofJournalRefusedLine(), model.proofLogFile());
    };
    Told told;
    for (const auto language : kAllAppLanguages) {
        Localization::shared().setLanguage(language);
        told.captions << caption();
    }
    Localization::shared().setLanguage(AppLanguage::english);
    const QVariant value = model.proofVerificationValue();
    const auto status =
        rules.ledgerStatus(value, model.proofLogUnreadable(), model.proofSetAsideKind(),
                           model.proofLogSetAside(), model.proofJournalRefusedLine());
    told.status = status.value("text").toString().toStdString();
    told.intact = status.value("intact").toBool();
    told.caption = caption().toStdString();
    told.row = rules
                   .ledgerIntegrityRow(value, model.proofSetAsideKind(), model.proofLogSetAside(),
                                       model.proofJournalRefusedLine())
                   .toStdString();
    Localization::shared().setLanguage(previous);
    told.entries = value.value<ProofVerificationView>().entriesChecked;
    told.refusedLine = model.proofJournalRefusedLine();
    for (const auto& line : testing::logMessages(model).filter("Proof ledger")) {
        told.log.push_back(line.toStdString());
    }
    return told;
}

std::filesystem::path journalBeside(const std::filesystem::path& file) {
    return file.string() + ".journal";
}

void writeSparse(const std::filesystem::path& file, std::uintmax_t size) {
    writeFileAtomically(file, "[");
    std::filesystem::resize_file(file, size);
}

// Every way the ledger or its journal is refused or set aside, loaded by the application as it
// starts: the sheet's headline, its caption, the event log's line and corvanta-verify run on the
// command the sheet names tell one story, and nothing read is lost.
TEST(LedgerSheetAndChecker, TellOneStoryOfEveryLedgerOrJournalSetAsideOrRefused) {
    namespace fs = std::filesystem;
    // Declared hashes coherent with the genesis header's proof among them.
    const auto entries = entriesDeclaring(6, 10'000'000'000'000);
    const std::string goodLines = linesOf(entries, 4, 6);
    const std::string damagedJournal = goodLines + "{\"index\":6,\"cut\n" + linesOf(entries, 5, 6);
    const std::string whole = ProofOfMining::encode({entries.begin(), entries.begin() + 4});
    std::vector<ProofEntry> beyond = entriesDeclaring(3, 0);
    for (auto& entry : beyond) entry.hashesReported = std::uint64_t(1) << 63;
    for (std::size_t i = 1; i < beyond.size(); ++i) {
        beyond[i].previousEntryHash = beyond[i - 1].entryHash();
    }

    const std::string damaged = "DAMAGED JOURNAL: no entry from the refused line on is counted";
    const struct {
        const char* name;
        std::function<void(const fs::path& file)> prepare;
        bool entryAfter;  // one entry made after the load, as mining makes them
        std::string status;
        std::int64_t entries;
        int refusedLine;
        int checkerStatus;              // corvanta-verify on the command the sheet names
        std::string checkerSays;        // among its words
        std::string logSays;            // among the event log's (empty: no line)
        std::int64_t checkedByCommand;  // entries the checker counts there (-1: none)
    } cases[] = {
        {"refused journal line, journal in place",
         [&](const fs::path& file) { writeLedger(file, entries, 4, damagedJournal); }, false,
         damaged, 6, 3, 2, "line 3 is not a ledger entry", "refused at line 3", 6},
        {"refused journal line, journal set aside at the next entry",
         [&](const fs::path& file) { writeLedger(file, entries, 4, damagedJournal); }, true,
         damaged, 7, 3, 2, "line 3 is not a ledger entry", "Proof ledger journal set aside as", 6},
        {"refused first line of a ledger all in its journal",
         [&](const fs::path& file) { writeLedger(file, entries, 0, linesOf(entries, 1, 3)); },
         false, damaged, 0, 1, 2, "entry 0 was due", "refused at line 1", 0},
        {"truncated ledger with its journal",
         [&](const fs::path& file) {
             writeLedger(file, entries, 0, goodLines);
             writeFileAtomically(file, whole.substr(0, whole.size() / 2));
         },
         false, "LEDGER UNREADABLE", 0, 0, 2, "is damaged and cannot be checked",
         ", with its journal as ", -1},
        {"truncated ledger, an entry made since",
         [&](const fs::path& file) { writeFileAtomically(file, whole.substr(0, 200)); }, true,
         "AN EARLIER LEDGER WAS SET ASIDE", 1, 0, 2, "is damaged and cannot be checked",
         "could not be decoded", -1},
        {"ledger past its bound",
         [&](const fs::path& file) { writeSparse(file, ProofOfMining::fileBound + 1); }, false,
         "LEDGER UNREADABLE", 0, 0, 2, "is larger than 256 MiB", "(larger than 256 MiB", -1},
        {"journal a symbolic link",
         [&](const fs::path& file) {
             writeLedger(file, entries, 4, "");
             writeFileAtomically(file.parent_path() / "elsewhere", goodLines);
             fs::create_symlink(file.parent_path() / "elsewhere", journalBeside(file));
         },
         false, "JOURNAL SET ASIDE UNREAD", 4, 0, 2, "is a symbolic link",
         "is a symbolic link, which is never followed", -1},
        {"journal past its bound",
         [&](const fs::path& file) {
             writeLedger(file, entries, 4, "");
             writeSparse(journalBeside(file), ProofOfMining::journalBound + 1);
         },
         false, "JOURNAL SET ASIDE UNREAD", 4, 0, 2, "is larger than 16 MiB",
         "is larger than 16 MiB", -1},
        {"declared hashes past 2^64",
         [&](const fs::path& file) { writeLedger(file, beyond, beyond.size(), ""); }, false,
         "SUSPECT: the declared hashes are out of the range the proof allows", 3, 0, 3,
         "more than 64 bits can count", "", 3},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        SessionHarness harness;
        const auto file = harness.proofFile();
        fs::create_directories(file.parent_path());
        row.prepare(file);
        const std::string journalBefore =
            fs::is_regular_file(fs::symlink_status(journalBeside(file)))
                ? readFile(journalBeside(file))
                : "";

        const auto model = harness.make();
        QSignalSpy verified(model.get(), &MiningSessionModel::proofVerificationChanged);
        ASSERT_TRUE(testing::waitUntil([&] { return verified.count() >= 1; }));
        if (row.entryAfter) {
            model->setRunState(testing::runState(MiningSessionModel::RunStateKind::mining));
            model->recordProofEntry(900, QString(64, QLatin1Char('b')));
            ASSERT_TRUE(
                testing::waitUntil([&] { return model->proofEntryCount() == row.entries; }));
            testing::waitUntil([&] { return !model->proofSetAsideKind().isEmpty(); });
        }
        const Told told = toldBy(*model);
        EXPECT_EQ(told.status, row.status);
        EXPECT_EQ(told.entries, row.entries);
        EXPECT_EQ(told.refusedLine, row.refusedLine);
        EXPECT_FALSE(told.intact);
        EXPECT_EQ(told.row.find("intact"), std::string::npos) << told.row;

        // The command the sheet names: in its caption, else the ledger itself.
        const std::string marker = "To check it: ";
        const auto at = told.caption.find(marker);
        const std::string command = at == std::string::npos
                                        ? ledger::checkCommand(file)
                                        : told.caption.substr(at + marker.size());
        EXPECT_EQ(at == std::string::npos, row.logSays.empty()) << told.caption;
        // Every language names the same command and the same files.
        for (const auto& caption : told.captions) {
            if (at == std::string::npos) break;
            EXPECT_TRUE(caption.endsWith(QString::fromStdString(command))) << caption.toStdString();
        }
        const Checked checked = runAsNamed(command);
        EXPECT_EQ(checked.status, row.checkerStatus) << checked.out << checked.err;
        EXPECT_NE((checked.out + checked.err).find(row.checkerSays), std::string::npos)
            << checked.out << checked.err;
        const auto rows = rowsOf(checked.out);
        if (row.checkedByCommand >= 0) {
            EXPECT_EQ(rows.at("Entries"), std::to_string(row.checkedByCommand)) << checked.out;
            // Where the checker gives a verdict, the sheet's headline is its words.
            EXPECT_EQ(rows.at("Verdict"), told.status);
        }
        if (row.refusedLine > 0) {
            EXPECT_NE(checked.err.find("line " + std::to_string(row.refusedLine)),
                      std::string::npos)
                << checked.err;
        }

        // One line in the event log, naming the same command and files.
        if (row.logSays.empty()) {
            EXPECT_TRUE(told.log.empty()) << told.log.front();
        } else {
            const auto said =
                std::count_if(told.log.begin(), told.log.end(), [&](const auto& line) {
                    return line.find(row.logSays) != std::string::npos &&
                           line.find(command + " checks it.") != std::string::npos;
                });
            EXPECT_EQ(said, 1) << (told.log.empty() ? "" : told.log.back());
        }

        // Nothing lost: what was set aside lies there whole, its journal under the matching name.
        const auto aside = model->proofLogSetAside().toStdString();
        if (!aside.empty() && !journalBefore.empty()) {
            EXPECT_EQ(readFile(journalBeside(aside)), journalBefore);
        }
        if (row.entryAfter && row.refusedLine > 0) {
            // The entries before the refused line stay counted, in the ledger in use.
            const Checked current = runAsNamed(ledger::checkCommand(file));
            EXPECT_EQ(current.status, 0) << current.out << current.err;
            EXPECT_EQ(rowsOf(current.out).at("Entries"), std::to_string(row.entries));
            EXPECT_FALSE(fs::exists(journalBeside(file)));
        }
    }
}

}  // namespace
}  // namespace corvanta

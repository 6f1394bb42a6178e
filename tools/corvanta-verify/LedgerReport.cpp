#include "LedgerReport.h"

#include <exception>
#include <utility>

#include "corvanta/ledger/LedgerReading.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::verify {
namespace {

constexpr std::string_view kProgram = "corvanta-verify: ";

std::string indices(const std::vector<std::int64_t>& at) {
    std::string text = ledger::firstIndices(at);
    if (at.size() > ledger::indicesShown) text += " … (" + std::to_string(at.size()) + " in all)";
    return text;
}

void line(std::string& text, std::string_view label, const std::string& value) {
    text += label;
    text += std::string(label.size() < 28 ? 28 - label.size() : 1, ' ');
    text += value;
    text += '\n';
}

std::string journalSummary(const ledger::Reading& reading) {
    if (!reading.hasJournal) return "none";
    std::string text = std::to_string(reading.journalLines) + " line(s) read";
    if (reading.journal.folded > 0) {
        text += ", " + std::to_string(reading.journal.folded) + " already folded into the file";
    }
    if (reading.journal.refused) {
        text += ", none taken from line " + std::to_string(reading.journal.refused->line) + " on";
    }
    return text;
}

// Why the application takes no more of the journal, naming the line.
std::string refusal(const std::filesystem::path& journal,
                    const ProofOfMining::JournalRefusal& refused) {
    using Stop = ProofOfMining::JournalStop;
    const std::string where = journal.string() + " line " + std::to_string(refused.line);
    const std::string rest =
        "; the application takes the journal no further, so neither that line nor any after it "
        "is counted above\n";
    switch (refused.why) {
        case Stop::unreadable:
            return std::string(kProgram) + where + " is not a ledger entry (" + refused.detail +
                   ")" + rest;
        case Stop::outOfPlace:
            return std::string(kProgram) + where + ": entry " + std::to_string(*refused.index) +
                   " where entry " + std::to_string(refused.due) + " was due" + rest;
        case Stop::unchained:
            break;
    }
    return std::string(kProgram) + "the chain of entry hashes is broken at entry " +
           std::to_string(*refused.index) + " (" + where +
           "): its previous-entry hash is not the hash of the entry before it" + rest;
}

}  // namespace

std::string describe(const ProofVerification& v) {
    std::string text;
    line(text, "Entries", std::to_string(v.entriesChecked));
    line(text, "Chain of entry hashes",
         v.brokenChainAt.empty() ? "intact" : "BROKEN at entries " + indices(v.brokenChainAt));
    line(text, "Best headers re-hashed",
         v.invalidWorkAt.empty() ? "all match their digests"
                                 : "INVALID at entries " + indices(v.invalidWorkAt));
    if (const auto covered = ledger::blocksCovered(v)) {
        line(text, "Anchored from block",
             std::to_string(v.firstAnchor->height) + "  " + v.firstAnchor->hash);
        line(text, "up to block", std::to_string(v.lastAnchor->height) + "  " + v.lastAnchor->hash);
        line(text, "Network blocks covered", std::to_string(*covered));
    }
    line(text, "Proven difficulty",
         v.bestDifficultyProven > 0 ? ledger::compactDifficulty(v.bestDifficultyProven) + " (" +
                                          ledger::fixed(v.bestDifficultyProven, 8) + ")"
                                    : "—");
    if (v.hashesReported == ProofVerification::hashesBeyondCount) {
        line(text, "Hashes reported",
             "more than " + std::to_string(v.hashesReported) +
                 ": the entries declare more than 64 bits can count");
    } else {
        line(text, "Hashes reported",
             ledger::hashCount(v.hashesReported) + " (" + std::to_string(v.hashesReported) + ")");
    }
    if (const auto cross = ledger::crossCheck(v.bestDifficultyProven, v.hashesReported)) {
        line(text, "Expected from the proof", ledger::hashCount(cross->expectedShown));
        line(text, "Cross-check",
             cross->ratioText + " — " + (cross->coherent ? "consistent" : "SUSPECT"));
    }
    return text;
}

Report check(const std::filesystem::path& file) {
    Report report;
    ledger::Reading reading;
    try {
        reading = ledger::readForCheck(file);
    } catch (const FileReadError& error) {
        report.errors = std::string(kProgram) + error.what() + "\n";
        return report;
    } catch (const json::DecodeError& error) {
        report.errors = std::string(kProgram) + file.string() +
                        " is damaged and cannot be checked: " + error.what() + "\n";
        return report;
    }
    const ProofVerification verification = ProofOfMining::verify(reading.entries);
    auto journal = file;
    journal += ".journal";
    line(report.text, "Ledger", file.string());
    line(report.text, "Journal", journalSummary(reading));
    report.text += describe(verification);
    if (reading.journalUnfinished) {
        report.errors += std::string(kProgram) +
                         "the journal ends in a line never finished (an interrupted write); it "
                         "holds no entry and was not counted\n";
    }
    if (reading.journal.refused) report.errors += refusal(journal, *reading.journal.refused);

    const auto verdict = ledger::verdictOf(verification, reading.journal.refused.has_value());
    line(report.text, "Verdict", ledger::verdictWords(verdict));
    if (verdict == ledger::Verdict::altered) {
        report.verdict = Verdict::altered;
        if (!verification.brokenChainAt.empty()) {
            report.errors = std::string(kProgram) +
                            "the chain of entry hashes is broken at entry " +
                            std::to_string(verification.brokenChainAt.front()) +
                            " (its previous-entry hash is not the hash of the entry before it)\n" +
                            report.errors;
        }
        if (!verification.invalidWorkAt.empty()) {
            report.errors = std::string(kProgram) + "entry " +
                            std::to_string(verification.invalidWorkAt.front()) +
                            ": its best header does not hash to its recorded digest\n" +
                            report.errors;
        }
        return report;
    }
    if (ledger::verdictOf(verification) == ledger::Verdict::suspect) {
        report.errors +=
            std::string(kProgram) +
            (verification.hashesReported == ProofVerification::hashesBeyondCount
                 ? std::string("the declared hashes add up to more than 64 bits can count")
                 : "the declared hashes are not coherent with the proven difficulty (outside ×" +
                       ledger::fixed(ledger::coherentFrom, 2) + " to ×" +
                       ledger::fixed(ledger::coherentTo, 2) + ")") +
            "\n";
    }
    // A journal the ledger stops reading part-way is damaged input, whatever its entries say.
    report.verdict = verdict == ledger::Verdict::damagedJournal ? Verdict::damaged
                     : verdict == ledger::Verdict::suspect      ? Verdict::suspect
                                                                : Verdict::intact;
    return report;
}

}  // namespace corvanta::verify

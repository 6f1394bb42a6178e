#include "corvanta/ledger/LedgerStory.h"

#include <algorithm>

namespace corvanta::ledger {
namespace {

bool isPlainForShell(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '.' || c == '-' || c == '_' || c == '+' || c == ',' || c == ':' || c == '@' ||
           c == '%';
}

std::string journalOf(const std::filesystem::path& ledger) {
    return ledger.string() + ".journal";
}

}  // namespace

std::string checkCommand(const std::filesystem::path& file) {
    const std::string path = file.string();
    if (!path.empty() && std::all_of(path.begin(), path.end(), isPlainForShell)) {
        return "corvanta-verify " + path;
    }
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return "corvanta-verify " + quoted + "'";
}

std::string refusalReason(const ProofOfMining::JournalRefusal& refusal) {
    using Stop = ProofOfMining::JournalStop;
    switch (refusal.why) {
        case Stop::unreadable:
            return "it is not a ledger entry (" + refusal.detail + ")";
        case Stop::outOfPlace:
            return "it holds entry " + std::to_string(refusal.index.value_or(-1)) +
                   " where entry " + std::to_string(refusal.due) + " was due";
        case Stop::unchained:
            break;
    }
    return "its entry " + std::to_string(refusal.index.value_or(-1)) +
           " is not chained to the entry before it";
}

std::string refusedJournalLine(const std::filesystem::path& ledger,
                               const ProofOfMining::JournalRefusal& refusal) {
    return "Proof ledger journal " + journalOf(ledger) + " refused at line " +
           std::to_string(refusal.line) + " (" + refusalReason(refusal) +
           "): the entries before that line are counted, none from it on; the journal is set "
           "aside with the ledger as it is at the next entry. " +
           checkCommand(ledger) + " checks it.";
}

std::string setAsideLine(const ProofOfMining::SetAside& aside) {
    using Kind = ProofOfMining::SetAside::Kind;
    const std::string check = " " + checkCommand(aside.ledger) + " checks it.";
    switch (aside.kind) {
        case Kind::ledger:
            return "Proof ledger set aside as " + aside.ledger.string() + " (" + aside.reason +
                   ")" +
                   (aside.withJournal ? ", with its journal as " + journalOf(aside.ledger) : "") +
                   "; the ledger goes on without it, and its figures count none of it." + check;
        case Kind::journalRefused:
            return "Proof ledger journal set aside as " + journalOf(aside.ledger) +
                   ", with the ledger as it was beside it as " + aside.ledger.string() + " (line " +
                   std::to_string(aside.refusal ? aside.refusal->line : 0) +
                   " refused: " + (aside.refusal ? refusalReason(*aside.refusal) : aside.reason) +
                   "); the entries before that line stay counted in the ledger, none from it "
                   "on." +
                   check;
        case Kind::journalUnread:
            break;
    }
    return "Proof ledger journal set aside unread as " + journalOf(aside.ledger) + " (" +
           aside.reason + "); the ledger goes on with its file alone." + check;
}

}  // namespace corvanta::ledger

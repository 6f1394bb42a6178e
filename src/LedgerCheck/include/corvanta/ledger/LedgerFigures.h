#pragma once

// The figures of a proof-of-mining ledger as the ledger sheet and the command-line checker show
// them. Both call these and nothing else, so the two never tell the user different numbers.
// Language-free: the words around them are each front end's own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/loop/ProofOfMining.h"

namespace corvanta::ledger {

// `value` rounded to `decimals` places, as "%.Nf" writes it in the C locale; "—" when it has none.
std::string fixed(double value, int decimals);
// "999", "1.50 k", "4.29 G", up to "E".
std::string hashCount(std::uint64_t count);
// "0.50", "123.46 M", up to "T"; not above 0 or not finite gives "—".
std::string compactDifficulty(double difficulty);

// How many indices a list of broken or invalid entries shows, and that list: "3, 4, 5".
inline constexpr std::size_t indicesShown = 6;
std::string firstIndices(const std::vector<std::int64_t>& indices);

// The declared hashes against what the proven difficulty would take: a count inflated by orders
// of magnitude falls outside [coherentFrom, coherentTo].
inline constexpr double hashesPerDifficulty = 4294967296.0;  // 2^32
inline constexpr double coherentFrom = 0.02;
inline constexpr double coherentTo = 50;
inline constexpr double expectedHashesCap = 1e18;
struct CrossCheck {
    std::uint64_t expectedShown = 0;  // capped before any conversion to an integer
    double ratio = 0;                 // against the uncapped expectation
    bool coherent = false;            // both bounds count as coherent; NaN does not
    std::string ratioText;            // "×12.34"
};
// None unless the proven difficulty is above 0 (NaN is not) and some hashes were declared.
std::optional<CrossCheck> crossCheck(double bestDifficultyProven, std::uint64_t hashesReported);

// Last anchor's height minus the first's plus one; none without both anchors.
std::optional<std::int64_t> blocksCovered(const ProofVerification& verification);

// What the ledger's figures say, in the order the checker's exit status ranks them.
enum class Verdict {
    intact,   // every check holds and the declared hashes are coherent (or cannot be crossed)
    altered,  // the chain is broken or a best header does not hash to its digest
    damagedJournal,  // the checks hold, but the journal holds a line the ledger refused: the
                     // entries from there on are not counted
    suspect,         // every check holds, but the declared hashes are out of the coherent range, or
                     // more than 64 bits hold
};
Verdict verdictOf(const ProofVerification& verification, bool journalRefused = false);

// The verdict in the checker's words; the ledger sheet shows their translation.
std::string verdictWords(Verdict verdict);

}  // namespace corvanta::ledger

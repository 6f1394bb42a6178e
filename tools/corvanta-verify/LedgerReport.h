#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "corvanta/ledger/LedgerFigures.h"
#include "corvanta/loop/ProofOfMining.h"

namespace corvanta::verify {

// The verdict on a ledger, as the program's exit status says it. When more than one holds, the
// status is the first of altered, damaged and suspect that does.
enum class Verdict {
    intact = 0,   // every check holds and the declared hashes are coherent with the proof
    altered = 1,  // the chain is broken or a best header does not hash to its digest
    damaged = 2,  // the input could not be read or decoded, is over its bound, or the journal
                  // holds a line the ledger cannot take (also a usage error)
    suspect = 3,  // every check holds, but the declared hashes are out of the coherent range
};

struct Report {
    Verdict verdict = Verdict::damaged;
    std::string text;    // for standard output: the figures the ledger sheet shows
    std::string errors;  // for standard error: what was wrong, naming the entries or the line
};

// Reads `file` and its journal (when present) as the application loads them, redoes every check
// of the ledger sheet with the ledger's own verification, and words the figures the sheet shows.
// Only regular files within their bounds are read, each once: a pipe or a device in the ledger's
// place is refused, never waited on, and a file past its bound is never read into memory.
Report check(const std::filesystem::path& file);

// The verification in words, with the sheet's figures.
std::string describe(const ProofVerification& verification);

using ledger::compactDifficulty;
using ledger::hashCount;

}  // namespace corvanta::verify

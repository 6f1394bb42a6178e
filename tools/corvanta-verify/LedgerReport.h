#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "corvanta/loop/ProofOfMining.h"

namespace corvanta::verify {

// The verdict on a ledger, as the program's exit status says it.
enum class Verdict {
    intact = 0,   // every check holds
    altered = 1,  // the chain is broken or a best header does not hash to its digest
    damaged = 2,  // the input could not be read or decoded (also a usage error)
};

struct Report {
    Verdict verdict = Verdict::damaged;
    std::string text;    // for standard output: the figures the ledger sheet shows
    std::string errors;  // for standard error: what was wrong, naming the entries or the line
};

// Reads `file` and its journal (when present) without the application, redoes every check of
// the ledger sheet with the ledger's own verification, and words the figures. Only regular files
// are read: a pipe or a device in the ledger's place is refused, never waited on.
Report check(const std::filesystem::path& file);

// The verification in words, as the sheet shows it.
std::string describe(const ProofVerification& verification);

// The sheet's number forms: "4.29 G" hashes, "123.46 M" difficulty ("—" when none).
std::string hashCount(std::uint64_t count);
std::string compactDifficulty(double difficulty);

}  // namespace corvanta::verify

#pragma once

// A proof-of-mining ledger and its journal read for a check made outside the application: each
// file once, within a bound, by the journal rule the application loads it with.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "corvanta/loop/ProofOfMining.h"

namespace corvanta::ledger {

// The application's own bounds: a file it would set aside unread is refused unread here.
inline constexpr std::size_t ledgerFileBound = ProofOfMining::fileBound;
inline constexpr std::size_t journalBound = ProofOfMining::journalBound;

struct Reading {
    std::vector<ProofEntry> entries;  // as the application loads them
    bool hasJournal = false;
    std::size_t journalLines = 0;    // complete lines, taken or not
    bool journalUnfinished = false;  // it ends in a line whose writing never finished
    ProofOfMining::JournalTaken journal;
};

// Reads `file` (following a link: the user named it) and "<file>.journal" beside it. Throws
// FileReadError, naming the file, when neither exists, when one present cannot be read, is not
// a regular file or is over its bound (then never read into memory), and when the journal is a
// link: the application never reads a journal through one, so neither does a check. Throws
// json::DecodeError when the file does not decode. A journal line the application would not take
// is no error here: the reading says where it stopped, and why.
Reading readForCheck(const std::filesystem::path& file);

}  // namespace corvanta::ledger

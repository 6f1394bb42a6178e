#pragma once

// What the application says, in its event log, of a ledger it moved aside or a journal line it
// refused: which file, from which line, what its figures count, and the checker command that
// reads what was moved aside. Plain English, the event log's fixed words; the ledger sheet says
// the same in the user's language.

#include <filesystem>
#include <string>

#include "corvanta/loop/ProofOfMining.h"

namespace corvanta::ledger {

// The command that checks the ledger at `file` (and its journal beside it), quoted for a shell
// when the path needs it: "corvanta-verify /home/a/proof/regtest.json".
std::string checkCommand(const std::filesystem::path& file);

// Why the ledger took the journal no further at that line: "it is not a ledger entry (...)",
// "it holds entry 7 where entry 5 was due", "its entry 5 is not chained to the entry before it".
std::string refusalReason(const ProofOfMining::JournalRefusal& refusal);

// The journal beside `ledger` holds a line the ledger refused, and lies there still.
std::string refusedJournalLine(const std::filesystem::path& ledger,
                               const ProofOfMining::JournalRefusal& refusal);

// What the ledger moved aside.
std::string setAsideLine(const ProofOfMining::SetAside& aside);

}  // namespace corvanta::ledger

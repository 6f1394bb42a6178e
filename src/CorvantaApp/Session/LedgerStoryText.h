#pragma once

// What the application tells the user, in the chosen language, of a proof ledger it set aside or
// of a journal line it refused: the story the event log tells in English and the command-line
// checker confirms, with the command that reads what was set aside.

#include <QString>

namespace corvanta {

// What the session model holds of it.
struct LedgerStory {
    // "", "ledger", "ledgerAndJournal", "journalRefused", "journalUnread" or "unreadable" (a file
    // there that could not be read, left as it is).
    QString kind;
    // The ledger set aside, as the checker is to be given it; its journal lies beside it as
    // "<it>.journal".
    QString setAside;
    // The journal line refused (from 1), whether that journal still lies beside the ledger in
    // use or was set aside since; 0 for none.
    int refusedLine = 0;
    // The ledger in use.
    QString ledgerFile;
};

// Which files, from which line, what the figures shown count, and the command that checks it;
// empty when there is nothing to tell.
QString ledgerStoryCaption(const LedgerStory& story);

}  // namespace corvanta

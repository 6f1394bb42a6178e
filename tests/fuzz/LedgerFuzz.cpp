// A ledger file from a damaged disk: refused (the ledger then puts it aside), or entries that
// read back the same, whose canonical form is unambiguous, and that verify without failing.

#include <algorithm>

#include "FuzzSupport.h"
#include "corvanta/loop/ProofOfMining.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<ProofEntry> entries;
    try {
        entries = ProofOfMining::decode(fuzz::textOf(data, size));
    } catch (const json::DecodeError&) {
        return 0;
    }
    for (const auto& entry : entries) {
        const auto text = entry.canonicalText();
        fuzz::expect(std::count(text.begin(), text.end(), '|') == 7,
                     "a field of the canonical form holds its separator");
    }
    fuzz::expect(ProofOfMining::decode(ProofOfMining::encode(entries)) == entries,
                 "ledger changed through a round trip");
    const auto verification = ProofOfMining::verify(entries);
    fuzz::expect(verification.entriesChecked == static_cast<std::int64_t>(entries.size()),
                 "verification skipped entries");
    fuzz::expect(ProofOfMining::verify(entries) == verification, "verification not repeatable");
    return 0;
}

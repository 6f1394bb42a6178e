// corvanta-verify: checks a proof-of-mining ledger without the application.
#include <cstdio>
#include <iostream>
#include <string_view>

#include "LedgerReport.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: corvanta-verify [--help] [--version] FILE\n"
    "\n"
    "Reads the proof-of-mining ledger FILE and its journal FILE.journal (when present) and\n"
    "redoes every check: the chain of entry hashes, each best header's double SHA-256 against\n"
    "its digest, the proven best difficulty, the reported hashes, the first and last anchors.\n"
    "\n"
    "Exit status: 0 every check holds and the declared hashes are coherent with the proof;\n"
    "1 the chain is broken or the work is bad (the entry is named); 2 usage error, input that\n"
    "cannot be read or decoded or is past its size bound, a journal that is a link, or a journal\n"
    "line the ledger cannot take (the line is named); 3 every check holds but the declared\n"
    "hashes are out of the range the proven difficulty allows (suspect).\n";

}  // namespace

int main(int argc, char** argv) {
    using corvanta::verify::Verdict;
    constexpr int usageError = int(Verdict::damaged);
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "corvanta-verify " CORVANTA_VERSION "\n";
        return 0;
    }
    std::string_view file = argc == 2 ? std::string_view(argv[1]) : std::string_view();
    // A lone "--" ends the options, so a ledger may be named "--help".
    if (argc == 3 && std::string_view(argv[1]) == "--") file = argv[2];
    if (file.empty() || (argc == 2 && file.starts_with("-") && file != "-")) {
        std::cerr << kUsage;
        return usageError;
    }
    const auto report = corvanta::verify::check(std::string(file));
    std::cout << report.text << std::flush;
    std::cerr << report.errors << std::flush;
    return int(report.verdict);
}

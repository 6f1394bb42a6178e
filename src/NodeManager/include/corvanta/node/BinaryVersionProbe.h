#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvanta {

// Tells the user which node program was found when its digest is not the expected one.
namespace BinaryVersionProbe {

// Runs the program once with "--version" (in a data folder of its own, removed after: nothing of
// the user's ~/.bitcoin or any other data folder is touched) and returns "Nœud " + the version it
// prints, or a "version indéterminée (…)" label. Never throws. Waits at most `timeout`; a program
// still running then is sent SIGTERM (SIGKILL a second later) and reaped, so no process is left
// behind.
std::string probe(const std::filesystem::path& binaryURL, std::chrono::milliseconds timeout);

// The version in the first non-empty line: the word after "version v" (case-sensitive), up to
// the first blank. "Bitcoin Core daemon version v31.1.0 bitcoind" gives "31.1.0".
std::optional<std::string> parseVersion(std::string_view from);

}  // namespace BinaryVersionProbe
}  // namespace corvanta

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "corvanta/node/ApplicationBundle.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

// The node release a program is verified against.
struct BitcoindRelease {
    std::string version;  // e.g. "31.1"
    std::string sha256;   // 64 hexadecimal digits

    bool operator==(const BitcoindRelease&) const = default;
};

// Where every file of the system lives. Nothing is created on disk here: the stores create their
// own folders, the node process its data directory. Callable from any thread.
namespace BinaryLocator {

inline constexpr std::string_view supportDirectoryName = "Corvanta";
inline constexpr std::string_view legacySupportDirectoryName = "Tovalin";
inline constexpr std::string_view bundledNodeDigestInfoKey = "CRVBundledNodeSHA256";

// The release this build expects, with the digest recorded at build time (empty when the build
// recorded none, which no program matches).
BitcoindRelease expectedBitcoindRelease();

// $CORVANTA_SUPPORT_DIR as it stands when set and not empty (read on every call); otherwise
// <XDG data home>/Corvanta, resolved once per process.
std::filesystem::path applicationSupportDirectory();
// parent/Corvanta, moving an earlier version's parent/Tovalin there first when only that exists.
// When the move fails the old folder is returned and stays in use.
std::filesystem::path resolveSupportDirectory(const std::filesystem::path& parent);

// <resources>/Node/bitcoind, only when an executable regular file is there.
std::optional<std::filesystem::path> bundledBitcoindURL(
    const ApplicationBundle& bundle = ApplicationBundle::main());
// The bundled program when present, else <support>/bin/bitcoind (whether it exists or not).
std::filesystem::path bitcoindURL(const ApplicationBundle& bundle = ApplicationBundle::main());

std::filesystem::path dataDirectory(BitcoinNetwork network);           // S/node/NET
std::filesystem::path historyFileURL(BitcoinNetwork network);          // S/history/NET.json
std::filesystem::path bestDifficultyFileURL(BitcoinNetwork network);   // S/best-difficulty/NET.json
std::filesystem::path proofLogFileURL(BitcoinNetwork network);         // S/proof/NET.json
std::filesystem::path rejectedBlockDirectory(BitcoinNetwork network);  // S/rejected-blocks/NET
std::filesystem::path legacySharedHistoryFileURL();                    // S/MinerHistory.json
std::filesystem::path legacySharedBestDifficultyFileURL();             // S/best-difficulty.json

// The release to verify `program` against: for the bundle's own node program, the digest its
// info table states (a text of exactly 64 characters, taken as it stands); in every other case
// expectedBitcoindRelease().
BitcoindRelease expectedRelease(const std::filesystem::path& program,
                                const ApplicationBundle& bundle);

}  // namespace BinaryLocator
}  // namespace corvanta

#include "corvanta/node/BinaryLocator.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include "BundledNodeInfo.h"
#include "ExecutableFile.h"
#include "corvanta/support/UserFolders.h"

namespace corvanta::BinaryLocator {
namespace {

std::optional<std::string> nonEmptyEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// The user's data folder by the rules every program of ours follows; without any home, the
// working folder's rather than the file-system root's.
std::filesystem::path dataHome() {
    return userFolders::dataHome().value_or(std::filesystem::path(".") / ".local" / "share");
}

std::filesystem::path perNetworkFile(std::string_view folder, BitcoinNetwork network) {
    return applicationSupportDirectory() / std::string(folder) /
           (std::string(rawValue(network)) + ".json");
}

}  // namespace

BitcoindRelease expectedBitcoindRelease() {
    return {buildinfo::kBundledNodeVersion, buildinfo::kBundledNodeSHA256};
}

std::filesystem::path applicationSupportDirectory() {
    // An empty value would put the node's data and every store in the working folder.
    if (const auto configured = nonEmptyEnvironment("CORVANTA_SUPPORT_DIR")) return *configured;
    static const std::filesystem::path resolved = resolveSupportDirectory(dataHome());
    return resolved;
}

std::filesystem::path resolveSupportDirectory(const std::filesystem::path& parent) {
    const auto current = parent / std::string(supportDirectoryName);
    const auto legacy = parent / std::string(legacySupportDirectoryName);
    std::error_code error;
    if (std::filesystem::exists(current, error)) return current;
    if (!std::filesystem::exists(legacy, error)) return current;
    std::filesystem::rename(legacy, current, error);
    return error ? legacy : current;
}

std::optional<std::filesystem::path> bundledBitcoindURL(const ApplicationBundle& bundle) {
    if (!bundle.resourceDirectory) return std::nullopt;
    auto program = *bundle.resourceDirectory / "Node" / "bitcoind";
    if (!isExecutableFile(program)) return std::nullopt;
    return program;
}

std::filesystem::path bitcoindURL(const ApplicationBundle& bundle) {
    if (auto bundled = bundledBitcoindURL(bundle)) return *bundled;
    return applicationSupportDirectory() / "bin" / "bitcoind";
}

std::filesystem::path dataDirectory(BitcoinNetwork network) {
    return applicationSupportDirectory() / "node" / std::string(rawValue(network));
}

std::filesystem::path historyFileURL(BitcoinNetwork network) {
    return perNetworkFile("history", network);
}

std::filesystem::path bestDifficultyFileURL(BitcoinNetwork network) {
    return perNetworkFile("best-difficulty", network);
}

std::filesystem::path proofLogFileURL(BitcoinNetwork network) {
    return perNetworkFile("proof", network);
}

std::filesystem::path rejectedBlockDirectory(BitcoinNetwork network) {
    return applicationSupportDirectory() / "rejected-blocks" / std::string(rawValue(network));
}

std::filesystem::path legacySharedHistoryFileURL() {
    return applicationSupportDirectory() / "MinerHistory.json";
}

std::filesystem::path legacySharedBestDifficultyFileURL() {
    return applicationSupportDirectory() / "best-difficulty.json";
}

BitcoindRelease expectedRelease(const std::filesystem::path& program,
                                const ApplicationBundle& bundle) {
    const auto bundled = bundledBitcoindURL(bundle);
    if (bundled && bundled->lexically_normal() == program.lexically_normal()) {
        // find() on anything but an object gives end().
        const auto found = bundle.info.find(std::string(bundledNodeDigestInfoKey));
        if (found != bundle.info.end() && found->is_string()) {
            const auto digest = found->get<std::string>();
            if (digest.size() == 64) return {expectedBitcoindRelease().version, digest};
        }
    }
    return expectedBitcoindRelease();
}

}  // namespace corvanta::BinaryLocator

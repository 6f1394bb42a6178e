#include "corvanta/node/ApplicationBundle.h"

#include <string_view>
#include <system_error>

#include "BundledNodeInfo.h"
#include "corvanta/node/BinaryLocator.h"

namespace corvanta {
namespace {

ApplicationBundle runningApplication() {
    ApplicationBundle bundle;
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && executable.has_parent_path()) {
        bundle.resourceDirectory = ApplicationBundle::resourceDirectoryFor(
            executable.parent_path(), buildinfo::kInstalledResourceDirectory);
    }
    const std::string_view digest = buildinfo::kBundledNodeSHA256;
    if (!digest.empty()) {
        bundle.info[std::string(BinaryLocator::bundledNodeDigestInfoKey)] = std::string(digest);
    }
    return bundle;
}

}  // namespace

std::filesystem::path ApplicationBundle::resourceDirectoryFor(
    const std::filesystem::path& programDirectory, const std::filesystem::path& installedRelative) {
    const auto installed = (programDirectory / installedRelative).lexically_normal();
    std::error_code error;
    if (!installedRelative.empty() && std::filesystem::is_directory(installed, error)) {
        return installed;
    }
    return programDirectory;
}

const ApplicationBundle& ApplicationBundle::main() {
    static const ApplicationBundle bundle = runningApplication();
    return bundle;
}

}  // namespace corvanta

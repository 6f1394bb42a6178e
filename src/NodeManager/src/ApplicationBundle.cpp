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
    if (!error && executable.has_parent_path()) bundle.resourceDirectory = executable.parent_path();
    const std::string_view digest = buildinfo::kBundledNodeSHA256;
    if (!digest.empty()) {
        bundle.info[std::string(BinaryLocator::bundledNodeDigestInfoKey)] = std::string(digest);
    }
    return bundle;
}

}  // namespace

const ApplicationBundle& ApplicationBundle::main() {
    static const ApplicationBundle bundle = runningApplication();
    return bundle;
}

}  // namespace corvanta

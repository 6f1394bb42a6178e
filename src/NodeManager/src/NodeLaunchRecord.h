#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ProcessInfo.h"

namespace corvanta {

// What a launch leaves beside the node's data folder while its node runs: which process the node
// is, what program it runs, and which process launched it. When the launcher is gone and the node
// still runs, the next launch knows that node for one of its own, left behind.
struct NodeLaunchRecord {
    ProcessIdentity node;
    std::string program;  // the node's /proc/PID/exe once it ran
    std::filesystem::path dataDirectory;
    ProcessIdentity launcher;

    bool operator==(const NodeLaunchRecord&) const = default;

    // "<data folder>.node-process.json", beside the data folder.
    static std::filesystem::path location(const std::filesystem::path& dataDirectory);

    std::string encoded() const;
    // None for text that is not a complete, plausible record (it is input like any file).
    static std::optional<NodeLaunchRecord> decode(std::string_view text) noexcept;
    // None for a missing, unreadable or damaged file.
    static std::optional<NodeLaunchRecord> read(const std::filesystem::path& file) noexcept;

    // Written atomically; throws FileWriteError.
    void write(const std::filesystem::path& file) const;
    // Removes the record at `file` when it still names `node`; a record a later launch wrote
    // stays. Never throws.
    static void removeIfNaming(const std::filesystem::path& file, const ProcessIdentity& node);
};

}  // namespace corvanta

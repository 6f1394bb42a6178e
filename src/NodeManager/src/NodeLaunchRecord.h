#pragma once

#include <cstddef>
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
    // Far larger than any record (some 250 bytes): a larger file there is not one.
    static constexpr std::size_t fileBound = 64 * 1024;

    // None for a missing, unreadable or damaged file. Never through a link, never past
    // `fileBound`, never blocking.
    static std::optional<NodeLaunchRecord> read(const std::filesystem::path& file) noexcept;
    // Before a launch writes its record: what is at `file` and is no record (past the bound, a
    // link, a FIFO, a folder, undecodable) is renamed aside unread, never written over. The event
    // log's line about it; none when there was nothing to set aside. Never throws.
    static std::optional<std::string> setAsideIfUnusable(
        const std::filesystem::path& file) noexcept;

    // Written atomically, only in place of nothing or of a record; throws FileWriteError.
    void write(const std::filesystem::path& file) const;
    // Removes the record at `file` when it still names `node`; a record a later launch wrote
    // stays. Never throws.
    static void removeIfNaming(const std::filesystem::path& file, const ProcessIdentity& node);
};

}  // namespace corvanta

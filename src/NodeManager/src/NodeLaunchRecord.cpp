#include "NodeLaunchRecord.h"

#include <system_error>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

json::Value encodedIdentity(const ProcessIdentity& process) {
    return json::Value{{"pid", process.pid}, {"startTime", process.startTime}};
}

ProcessIdentity decodedIdentity(const json::Value& object, std::string_view key) {
    const auto value = json::required<json::Value>(object, key);
    const ProcessIdentity process{json::required<pid_t>(value, "pid", key),
                                  json::required<std::uint64_t>(value, "startTime", key)};
    // No pid of ours is 0 or below, nor init's.
    if (process.pid <= 1) throw json::DecodeError(std::string(key), "not a process we launch");
    return process;
}

}  // namespace

std::filesystem::path NodeLaunchRecord::location(const std::filesystem::path& dataDirectory) {
    std::filesystem::path folder = dataDirectory.lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();  // a trailing separator
    return folder.parent_path() / (folder.filename().string() + ".node-process.json");
}

std::string NodeLaunchRecord::encoded() const {
    return json::dump(json::Value{{"node", encodedIdentity(node)},
                                  {"program", program},
                                  {"dataDirectory", dataDirectory.string()},
                                  {"launcher", encodedIdentity(launcher)}},
                      2);
}

std::optional<NodeLaunchRecord> NodeLaunchRecord::decode(std::string_view text) noexcept {
    try {
        const json::Value value = json::parse(text);
        NodeLaunchRecord record{decodedIdentity(value, "node"),
                                json::required<std::string>(value, "program"),
                                json::required<std::string>(value, "dataDirectory"),
                                decodedIdentity(value, "launcher")};
        if (record.program.empty() || record.dataDirectory.empty()) return std::nullopt;
        return record;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<NodeLaunchRecord> NodeLaunchRecord::read(const std::filesystem::path& file) noexcept {
    try {
        // Far larger than any record: a huge file there is not one, and is not read whole. The
        // bound holds on the file opened, not on whatever the name led to a moment before.
        constexpr std::size_t kLargestRecord = 64 * 1024;
        return decode(readFile(file, Links::refuse, kLargestRecord));
    } catch (...) {
        return std::nullopt;
    }
}

void NodeLaunchRecord::write(const std::filesystem::path& file) const {
    writeFileAtomically(file, encoded());
}

void NodeLaunchRecord::removeIfNaming(const std::filesystem::path& file,
                                      const ProcessIdentity& node) {
    const auto record = read(file);
    if (!record || record->node != node) return;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

}  // namespace corvanta

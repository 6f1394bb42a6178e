#include "NodeLaunchRecord.h"

#include <system_error>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/SetAside.h"
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
        return decode(readFile(file, Links::refuse, fileBound));
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> NodeLaunchRecord::setAsideIfUnusable(
    const std::filesystem::path& file) noexcept {
    try {
        std::optional<std::string> why;
        try {
            if (!decode(readFile(file, Links::refuse, fileBound))) why = "could not be decoded";
        } catch (const FileReadError& error) {
            why = unusableReason(error, fileBound);  // none for a missing or unreadable one
        }
        if (!why) return std::nullopt;
        const auto what = "Node launch record " + file.string() + " " + *why;
        if (const auto aside = renameAside(file)) {
            return what + ": it was set aside as " + aside->string() + ".";
        }
        return what + " and could not be set aside; no record is kept for this launch.";
    } catch (...) {
        return std::nullopt;
    }
}

void NodeLaunchRecord::write(const std::filesystem::path& file) const {
    // Only a record is replaced: anything else there was set aside first, or could not be.
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(file, error)) && !read(file)) {
        throw FileWriteError("cannot write " + file.string() +
                             ": something that is no launch record is there");
    }
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

#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/SetAside.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::storefile {

struct Outcome {
    // Where the damaged contents now lie (the file's own place when nothing could be saved).
    std::filesystem::path location;
    // False when the contents could be neither moved nor copied aside: the owner must then never
    // write over the file, or the only copy of the user's records would be lost.
    bool preserved;
};

// Moves the file aside; when the move fails, copies it aside instead.
Outcome putAside(const std::filesystem::path& file);

// Moves what is in the file's place (a file past its bound, a link, a FIFO, a folder) aside by a
// rename alone, never reading nor copying it: where it went, or nothing when it could not move.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& file);

// What a store found in its file at start-up.
template <typename Records>
struct LoadedFile {
    Records records{};
    std::optional<std::filesystem::path> quarantined;
    // Why it was set aside: "is larger than 64 MiB", "is not a regular file", ...
    std::string asideReason;
    // The file is there but the system would not let it be read: why. Its records are not known,
    // so nothing may be written over it until it reads again.
    std::optional<std::string> unreadable;
    bool mayWrite = true;
};

// Reads and decodes a store's file without ever blocking: missing gives no records; not a regular
// file (a FIFO, a link, a folder) or past `maxBytes` gives no records and is renamed aside unread;
// undecodable (the decoder throws json::DecodeError) gives no records and is put aside; present
// but unreadable gives no records and no leave to write.
template <typename Records, typename Decode>
LoadedFile<Records> load(const std::filesystem::path& file, Decode decode,
                         std::size_t maxBytes = std::numeric_limits<std::size_t>::max()) {
    LoadedFile<Records> loaded;
    std::string contents;
    try {
        contents = readFile(file, Links::refuse, maxBytes);
    } catch (const FileReadError& error) {
        if (auto reason = unusableReason(error, maxBytes)) {
            const auto aside = moveAside(file);
            loaded.quarantined = aside.value_or(file);
            loaded.asideReason = std::move(*reason);
            loaded.mayWrite = aside.has_value();
        } else if (error.reason() == FileReadError::Reason::unreadable) {
            loaded.unreadable = error.what();
            loaded.mayWrite = false;
        }
        return loaded;
    }
    try {
        loaded.records = decode(contents);
    } catch (const json::DecodeError& error) {
        const auto aside = putAside(file);
        loaded.quarantined = aside.location;
        loaded.asideReason = std::string("could not be decoded (") + error.what() + ")";
        loaded.mayWrite = aside.preserved;
    }
    return loaded;
}

// A store's records as one compact JSON array, keys sorted. One record is held as a JSON value
// at a time: the whole array as values would cost many times the text, every time it is written.
template <typename Record, typename Encode>
std::string encodeArray(const std::vector<Record>& records, Encode encode) {
    std::string text = "[";
    for (const auto& record : records) {
        if (text.size() > 1) text += ',';
        text += json::dump(encode(record));
    }
    text += ']';
    return text;
}

// Writes a store's records, as encodeArray gives them, through an atomic write that holds one
// record's text at a time. Throws FileWriteError.
template <typename Records, typename Encode>
void writeArray(const std::filesystem::path& file, const Records& records, Encode encode,
                Durability durability) {
    AtomicFileWriter writer(file, durability);
    bool first = true;
    writer.write("[");
    for (const auto& record : records) {
        if (!first) writer.write(",");
        first = false;
        writer.write(json::dump(encode(record)));
    }
    writer.write("]");
    writer.commit();
}

// Throws json::DecodeError unless the text is an array of records `decode` accepts.
template <typename Decode>
auto decodeArray(std::string_view text, std::string_view what, Decode decode)
    -> std::vector<decltype(decode(json::Value{}))> {
    std::vector<decltype(decode(json::Value{}))> records;
    json::forEachElement(text, what,
                         [&](json::Value&& record) { records.push_back(decode(record)); });
    return records;
}

}  // namespace corvanta::storefile

#include "corvanta/loop/WalkPlaces.h"

#include <algorithm>
#include <system_error>

#include "DisplayHex.h"
#include "StoreFile.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::HistoryReconciliation {
namespace {

WalkedThrough walkedOf(const json::Value& entry, std::string_view path) {
    WalkedThrough walked{json::required<std::int64_t>(entry, "height", path),
                         json::required<std::string>(entry, "hash", path),
                         json::optional<std::int64_t>(entry, "records", path).value_or(0)};
    if (walked.height < 0 || walked.records < 0) {
        throw json::DecodeError(std::string(path), "negative height or count");
    }
    if (!loop::isLowerHex(walked.hashHex, 64)) {
        throw json::DecodeError(std::string(path), "hash is not 64 lower-case digits");
    }
    return walked;
}

MarkPlace placeOf(const json::Value& entry, const std::string& path) {
    MarkPlace place;
    if (json::optional<json::Value>(entry, "height", path) ||
        json::optional<json::Value>(entry, "hash", path)) {
        place.walked = walkedOf(entry, path);
    }
    place.firstMined = json::optional<std::int64_t>(entry, "firstMined", path);
    if (place.firstMined && *place.firstMined < 0) {
        throw json::DecodeError(path + ".firstMined", "negative height");
    }
    return place;
}

ExtranonceMark markOf(const std::string& key) {
    const auto bytes = BitcoinEncoding::hexBytes(key);
    ExtranonceMark mark{};
    if (!loop::isLowerHex(key, 2 * mark.size()) || !bytes) {
        throw json::DecodeError("marks." + key, "not a mark");
    }
    std::copy(bytes->begin(), bytes->end(), mark.begin());
    return mark;
}

WalkPlaces decode(std::string_view text, const ExtranonceMark& currentMark) {
    const auto record = json::parse(text);
    if (!record.is_object()) throw json::DecodeError("value", "expected an object");
    WalkPlaces places;
    if (!record.contains("marks")) {
        // The earlier form: one place, written for the mark then in use.
        places[currentMark].walked = walkedOf(record, "");
        return places;
    }
    const auto& marks = json::field(record, "marks");
    if (!marks.is_object()) throw json::DecodeError("marks", "expected an object");
    for (const auto& [key, entry] : marks.items()) {
        places[markOf(key)] = placeOf(entry, "marks." + key);
    }
    return places;
}

}  // namespace

WalkPlacesReading readWalkPlaces(const std::filesystem::path& file,
                                 const ExtranonceMark& currentMark) {
    WalkPlacesReading reading;
    try {
        reading.places = decode(readFile(file, Links::refuse, walkPlacesFileBound), currentMark);
        return reading;
    } catch (const FileReadError& error) {
        if (error.reason() == FileReadError::Reason::missing) return reading;
        reading.problem = error.what();
    } catch (const json::DecodeError& error) {
        reading.problem = error.what();
    }
    reading.places.clear();
    // Renamed, never copied (what lies there may be a link, a FIFO or a huge file), and never
    // over another file set aside.
    reading.setAside = storefile::moveAside(file);
    reading.mayWrite = reading.setAside.has_value();
    return reading;
}

void writeWalkPlaces(const std::filesystem::path& file, const WalkPlaces& places) {
    json::Value marks = json::Value::object();
    for (const auto& [mark, place] : places) {
        json::Value entry = json::Value::object();
        if (place.walked) {
            entry["height"] = place.walked->height;
            entry["hash"] = place.walked->hashHex;
            entry["records"] = place.walked->records;
        }
        if (place.firstMined) entry["firstMined"] = *place.firstMined;
        marks[BitcoinEncoding::hexString(mark)] = entry;
    }
    const json::Value record = {{"marks", marks}};
    writeFileAtomically(file, json::dump(record), Durability::durable);
}

}  // namespace corvanta::HistoryReconciliation

#include "corvanta/loop/WalkPlace.h"

#include "DisplayHex.h"
#include "StoreFile.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::HistoryReconciliation {
namespace {

// The key this version writes its place under: the forms before it (a bare place, or one per
// mark) are told apart by its absence.
constexpr std::string_view checkedKey = "checked";

WalkedThrough walkedOf(const json::Value& entry) {
    const std::string path(checkedKey);
    WalkedThrough walked{json::required<std::int64_t>(entry, "height", path),
                         json::required<std::string>(entry, "hash", path),
                         json::required<std::int64_t>(entry, "records", path)};
    if (walked.height < 0 || walked.records < 0) {
        throw json::DecodeError(path, "negative height or count");
    }
    if (!loop::isLowerHex(walked.hashHex, 64)) {
        throw json::DecodeError(path, "hash is not 64 lower-case digits");
    }
    walked.digestHex = json::optional<std::string>(entry, "digest", path);
    if (walked.digestHex && !loop::isLowerHex(*walked.digestHex, 64)) {
        throw json::DecodeError(path, "digest is not 64 lower-case digits");
    }
    return walked;
}

std::optional<WalkedThrough> decode(std::string_view text) {
    const auto record = json::parse(text);
    if (!record.is_object()) throw json::DecodeError("value", "expected an object");
    const auto checked = json::optional<json::Value>(record, checkedKey);
    if (!checked) return std::nullopt;
    return walkedOf(*checked);
}

}  // namespace

WalkPlaceReading readWalkPlace(const std::filesystem::path& file) {
    WalkPlaceReading reading;
    try {
        reading.place = decode(readFile(file, Links::refuse, walkPlaceFileBound));
        return reading;
    } catch (const FileReadError& error) {
        if (error.reason() == FileReadError::Reason::missing) return reading;
        reading.problem = error.what();
    } catch (const json::DecodeError& error) {
        reading.problem = error.what();
    }
    reading.place.reset();
    // Renamed, never copied (what lies there may be a link, a FIFO or a huge file), and never
    // over another file set aside.
    reading.setAside = storefile::moveAside(file);
    reading.mayWrite = reading.setAside.has_value();
    return reading;
}

void writeWalkPlace(const std::filesystem::path& file, const WalkedThrough& place) {
    json::Value checked = {
        {"hash", place.hashHex}, {"height", place.height}, {"records", place.records}};
    if (place.digestHex) checked["digest"] = *place.digestHex;
    const json::Value record = {{checkedKey, std::move(checked)}};
    writeFileAtomically(file, json::dump(record), Durability::durable);
}

}  // namespace corvanta::HistoryReconciliation

#include "corvanta/loop/BlockOwnership.h"

#include "StoreFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <string>

#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

void appendField(Bytes& out, std::span<const std::uint8_t> field) {
    // Each field's length first, so no two different inputs run together into the same bytes.
    const auto size = std::uint64_t(field.size());
    for (int i = 0; i < 8; ++i) out.push_back(std::uint8_t(size >> (8 * i)));
    out.insert(out.end(), field.begin(), field.end());
}

void appendText(Bytes& out, std::string_view text) {
    appendField(out, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string machineId() {
    for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        try {
            // 33 bytes; the second is often a link to the first, as the system makes it.
            auto text = readFile(file, Links::follow, 4096);
            while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
            if (!text.empty()) return text;
        } catch (const std::exception&) {
        }
    }
    return {};  // a container without one: the user and the folder still tell installations apart
}

std::filesystem::path canonicalFolder(const std::filesystem::path& folder) {
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(folder, error);
    if (error) canonical = std::filesystem::absolute(folder, error);
    return canonical;
}

bool isDataCarrier(std::span<const std::uint8_t> script) {
    return !script.empty() && script[0] == 0x6a;  // OP_RETURN: pays no one
}

std::string markText(const ExtranonceMark& mark) {
    return BitcoinEncoding::hexString(Bytes(mark.begin(), mark.end()));
}

ExtranonceMark markOfText(const std::string& text, const std::string& path) {
    const auto bytes = BitcoinEncoding::hexBytes(text);
    ExtranonceMark mark{};
    if (!bytes || bytes->size() != mark.size() || BitcoinEncoding::hexString(*bytes) != text) {
        throw json::DecodeError(path, "not a mark");
    }
    std::copy(bytes->begin(), bytes->end(), mark.begin());
    return mark;
}

std::int64_t heightOf(const json::Value& value, const std::string& path) {
    const auto height = json::as<std::int64_t>(value, path);
    if (height < 0) throw json::DecodeError(path, "negative height");
    return height;
}

json::Value encodeMined(const std::map<std::string, MinedOnNetwork>& mined) {
    json::Value networks = json::Value::object();
    for (const auto& [network, record] : mined) {
        json::Value marks = json::Value::object();
        for (const auto& [mark, height] : record.marks) marks[markText(mark)] = height;
        json::Value entry = {{"marks", marks}};
        if (record.floor) {
            entry["floor"] = *record.floor;
            entry["floorSound"] = true;
        }
        networks[network] = entry;
    }
    return networks;
}

std::map<std::string, MinedOnNetwork> decodeMined(const json::Value& networks) {
    if (!networks.is_object()) throw json::DecodeError("mined", "expected an object");
    std::map<std::string, MinedOnNetwork> mined;
    for (const auto& [network, entry] : networks.items()) {
        const auto path = "mined." + network;
        if (!entry.is_object()) throw json::DecodeError(path, "expected an object");
        MinedOnNetwork record;
        const auto floor = json::optional<json::Value>(entry, "floor", path);
        const auto height = floor ? std::optional(heightOf(*floor, path + ".floor")) : std::nullopt;
        // A floor without this word was written by a version that took a first job for the floor
        // even when a first sync had brought blocks of ours below it: read as unknown, so the
        // next start walks from the lowest block once and writes a floor that says it is sound.
        if (json::optional<bool>(entry, "floorSound", path).value_or(false)) record.floor = height;
        // "floorAtFirstJob", which 0.1.2 wrote while a network was met and not yet mined on, is
        // passed over: it spoke of a moment that a file put back later no longer shows.
        const auto& marks = json::field(entry, "marks", path);
        if (!marks.is_object()) throw json::DecodeError(path + ".marks", "expected an object");
        for (const auto& [text, height] : marks.items()) {
            const auto markPath = path + ".marks." + text;
            record.marks[markOfText(text, markPath)] = heightOf(height, markPath);
        }
        mined[network] = std::move(record);
    }
    return mined;
}

// An earlier version kept the key inside the history folder: it moves beside the stores once, so
// that removing that folder never changes the marks. Never over a key already in the new place.
void moveEarlierKey(const std::filesystem::path& earlier, const std::filesystem::path& file) {
    if (earlier == file) return;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    ::renameat2(AT_FDCWD, earlier.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE);
}

}  // namespace

std::vector<ExtranonceMark> InstallationKey::marksUsed() const {
    std::vector<ExtranonceMark> marks;
    for (const auto& [network, record] : mined) {
        for (const auto& [mark, height] : record.marks) marks.push_back(mark);
    }
    std::sort(marks.begin(), marks.end());
    marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
    return marks;
}

std::string InstallationKey::encode() const {
    json::Value record = {{"folder", folder},
                          {"machine", machine},
                          {"markedSince", formatIsoDate(markedSince)},
                          {"user", user}};
    if (!mined.empty()) record["mined"] = encodeMined(mined);
    if (minedFromStart) record["minedFromStart"] = true;
    return json::dump(record, 2);
}

InstallationKey InstallationKey::decode(std::string_view text) {
    const auto record = json::parse(text);
    InstallationKey key;
    key.folder = json::required<std::string>(record, "folder");
    key.machine = json::required<std::string>(record, "machine");
    const auto user = json::required<std::int64_t>(record, "user");
    if (user < 0 || user > std::numeric_limits<std::uint32_t>::max()) {
        throw json::DecodeError("user", "not a user id");
    }
    key.user = std::uint32_t(user);
    const auto since = parseIsoDate(json::required<std::string>(record, "markedSince"));
    if (!since) throw json::DecodeError("markedSince", "not an ISO 8601 date");
    key.markedSince = *since;
    if (key.folder.empty()) throw json::DecodeError("folder", "empty");
    if (const auto mined = json::optional<json::Value>(record, "mined")) {
        key.mined = decodeMined(*mined);
    }
    key.minedFromStart = json::optional<bool>(record, "minedFromStart").value_or(false);
    return key;
}

InstallationKey InstallationKey::keptIn(const std::filesystem::path& keyFolder,
                                        const std::filesystem::path& earlierFolder,
                                        const std::function<void(const std::string&)>& onSetAside) {
    return keptIn(
        keyFolder, earlierFolder,
        [&] { return BlockOwnership::keyForThisUser(earlierFolder, WallClock::now()); },
        onSetAside);
}

InstallationKey InstallationKey::keptIn(const std::filesystem::path& keyFolder,
                                        const std::filesystem::path& earlierFolder,
                                        const std::function<InstallationKey()>& derive,
                                        const std::function<void(const std::string&)>& onSetAside) {
    const auto file = keyFolder / fileName;
    std::error_code missing;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, missing))) {
        moveEarlierKey(earlierFolder / fileName, file);
    }
    std::optional<std::string> why;
    // A link, a FIFO or a file past the bound is only ever renamed: a copy would follow the link
    // or wait on the FIFO. A regular file that does not decode may be copied aside instead.
    bool renameOnly = false;
    try {
        return decode(readFile(file, Links::refuse, fileBound));
    } catch (const FileReadError& error) {
        if (error.reason() != FileReadError::Reason::missing) why = error.what();
        renameOnly = true;
    } catch (const json::DecodeError& error) {
        why = error.what();
    }
    if (why) {
        storefile::Outcome aside{file, false};
        if (!renameOnly) {
            aside = storefile::putAside(file);
        } else if (const auto moved = storefile::moveAside(file)) {
            aside = {*moved, true};
        }
        if (onSetAside) {
            onSetAside("The installation's mark file " + file.string() + " cannot be taken (" +
                       *why + "): " +
                       (aside.preserved ? "set aside as " + aside.location.string()
                                        : std::string("left where it is")) +
                       "; the marks are derived again from this machine, user and folder.");
        }
        if (!aside.preserved) return derive();  // never written over: it may be read again
    }
    auto key = derive();
    try {
        std::filesystem::create_directories(keyFolder);
        writeFileAtomically(file, key.encode(), Durability::durable);
    } catch (const std::exception&) {
        // Derived again at the next start, from the same machine and folder: the same marks.
    }
    return key;
}

BlockOwnership BlockOwnership::of(const InstallationKey& key, Bytes payoutScript) {
    BlockOwnership ownership{std::move(payoutScript), {}, key};
    ownership.mark = ownership.markOf(ownership.payoutScript);
    return ownership;
}

ExtranonceMark BlockOwnership::markOf(std::span<const std::uint8_t> script) const {
    if (key) return markFor(key->machine, key->user, key->folder, script);
    if (!payoutScript.empty() &&
        std::equal(script.begin(), script.end(), payoutScript.begin(), payoutScript.end())) {
        return mark;
    }
    return {};
}

BlockOwnership::Verdict BlockOwnership::judge(const BlockCoinbase& coinbase) const {
    const auto carried = coinbase.extranonceMark();
    if (!carried) return Verdict::foreign;
    if (*carried == ExtranonceMark{}) return Verdict::unmarked;
    const bool ours = std::any_of(
        coinbase.outputs.begin(), coinbase.outputs.end(), [&](const BlockCoinbase::Output& output) {
            return !output.script.empty() && !isDataCarrier(output.script) &&
                   markOf(output.script) == *carried;
        });
    return ours ? Verdict::ours : Verdict::foreign;
}

bool BlockOwnership::isOwnScript(std::span<const std::uint8_t> script) const {
    if (script.empty() || isDataCarrier(script)) return false;
    if (std::equal(script.begin(), script.end(), payoutScript.begin(), payoutScript.end())) {
        return true;
    }
    if (!key) return false;
    const auto used = key->marksUsed();
    return std::binary_search(used.begin(), used.end(), markOf(script));
}

std::int64_t BlockOwnership::rewardOf(const BlockCoinbase& coinbase) const {
    switch (judge(coinbase)) {
        case Verdict::foreign:
            return 0;
        case Verdict::ours: {
            const auto carried = *coinbase.extranonceMark();
            for (const auto& output : coinbase.outputs) {
                if (!isDataCarrier(output.script) && markOf(output.script) == carried) {
                    return coinbase.satsPaidTo(output.script);
                }
            }
            return 0;
        }
        case Verdict::unmarked:
            break;
    }
    std::int64_t total = 0;
    for (const auto& output : coinbase.outputs) {
        if (isOwnScript(output.script) && __builtin_add_overflow(total, output.sats, &total)) {
            return std::numeric_limits<std::int64_t>::max();
        }
    }
    return total;
}

bool BlockOwnership::predatesTheMark(const BlockCoinbase& coinbase) const {
    if (!key || judge(coinbase) != Verdict::unmarked) return false;
    if (std::chrono::seconds(coinbase.time) >= key->markedSince.time_since_epoch()) return false;
    return std::any_of(coinbase.outputs.begin(), coinbase.outputs.end(),
                       [&](const BlockCoinbase::Output& output) {
                           return output.sats > 0 && isOwnScript(output.script);
                       });
}

ExtranonceMark BlockOwnership::markFor(std::string_view machine, std::uint32_t userId,
                                       const std::filesystem::path& installationFolder,
                                       std::span<const std::uint8_t> payoutScript) {
    Bytes input;
    appendText(input, "corvanta extranonce mark");
    appendText(input, machine);
    appendText(input, std::to_string(userId));
    appendText(input, installationFolder.lexically_normal().string());
    appendField(input, payoutScript);
    const auto digest = sha256::digest(input);
    ExtranonceMark mark{};
    std::copy_n(digest.begin(), mark.size(), mark.begin());
    if (mark == ExtranonceMark{}) mark[0] = 1;
    return mark;
}

InstallationKey BlockOwnership::keyForThisUser(const std::filesystem::path& installationFolder,
                                               WallClock::time_point now) {
    return {machineId(),
            std::uint32_t(::getuid()),
            canonicalFolder(installationFolder).lexically_normal().string(),
            wholeSeconds(now),
            {}};
}

ExtranonceMark BlockOwnership::markForThisUser(const std::filesystem::path& installationFolder,
                                               std::span<const std::uint8_t> payoutScript) {
    const auto key = keyForThisUser(installationFolder, WallClock::now());
    return markFor(key.machine, key.user, key.folder, payoutScript);
}

}  // namespace corvanta

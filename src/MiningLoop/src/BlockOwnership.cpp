#include "corvanta/loop/BlockOwnership.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/AtomicFile.h"

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

}  // namespace

BlockOwnership::Verdict BlockOwnership::judge(const BlockCoinbase& coinbase) const {
    const bool pays = std::any_of(coinbase.outputs.begin(), coinbase.outputs.end(),
                                  [&](const BlockCoinbase::Output& output) {
                                      return !payoutScript.empty() && output.script == payoutScript;
                                  });
    if (!pays) return Verdict::notPaying;
    const auto carried = coinbase.extranonceMark();
    if (mark == ExtranonceMark{} || !carried || *carried != mark) return Verdict::unmarked;
    return Verdict::ours;
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

ExtranonceMark BlockOwnership::markForThisUser(const std::filesystem::path& installationFolder,
                                               std::span<const std::uint8_t> payoutScript) {
    std::error_code error;
    auto folder = std::filesystem::weakly_canonical(installationFolder, error);
    if (error) folder = std::filesystem::absolute(installationFolder, error);
    return markFor(machineId(), std::uint32_t(::getuid()), folder, payoutScript);
}

}  // namespace corvanta

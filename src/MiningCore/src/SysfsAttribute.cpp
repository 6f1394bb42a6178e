#include "SysfsAttribute.h"

#include <algorithm>
#include <charconv>

#include "corvanta/support/AtomicFile.h"

namespace corvanta::sysfs {

std::optional<std::string> readAttribute(const std::filesystem::path& path) {
    std::string text;
    try {
        text = readFile(path);
    } catch (const FileReadError&) {
        return std::nullopt;
    }
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<long long> readInteger(const std::filesystem::path& path) {
    const auto text = readAttribute(path);
    if (!text || text->empty()) return std::nullopt;
    long long value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

std::vector<std::filesystem::path> entriesStartingWith(const std::filesystem::path& folder,
                                                       std::string_view prefix) {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    std::filesystem::directory_iterator iterator(folder, error);
    // A device may vanish while the folder is listed; keep what was seen up to then.
    for (; !error && iterator != std::filesystem::directory_iterator(); iterator.increment(error)) {
        const auto& path = iterator->path();
        if (path.filename().string().starts_with(prefix)) entries.push_back(path);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace corvanta::sysfs

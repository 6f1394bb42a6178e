#include "ProcessInfo.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>

namespace corvanta::ProcessInfo {
namespace {

std::string procEntry(pid_t pid, std::string_view name) {
    return "/proc/" + std::to_string(pid) + "/" + std::string(name);
}

std::optional<std::string> readEntry(pid_t pid, std::string_view name) {
    std::ifstream in(procEntry(pid, name), std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return text;
}

// States of a process that has ended: a zombie, or one being reaped.
bool hasEnded(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

}  // namespace

std::optional<StatLine> parseStat(std::string_view line) {
    // "pid (comm) state ppid ...": the name ends at the last ')'.
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string_view::npos) return std::nullopt;
    std::string_view rest = line.substr(nameEnd + 1);
    // Fields 3 (state) to 22 (start time), counted from the state.
    constexpr int kStartTimeIndex = 22 - 3;
    StatLine stat;
    for (int index = 0; index <= kStartTimeIndex; ++index) {
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        const std::size_t end = std::min(rest.find(' '), rest.size());
        const std::string_view field = rest.substr(0, end);
        if (field.empty()) return std::nullopt;
        if (index == 0) {
            if (field.size() != 1) return std::nullopt;
            stat.state = field.front();
        } else if (index == kStartTimeIndex) {
            const auto [next, error] =
                std::from_chars(field.data(), field.data() + field.size(), stat.startTime);
            if (error != std::errc() || next != field.data() + field.size()) return std::nullopt;
        }
        rest.remove_prefix(end);
    }
    return stat;
}

std::optional<ProcessIdentity> liveIdentity(pid_t pid) {
    if (pid <= 0) return std::nullopt;
    const auto text = readEntry(pid, "stat");
    if (!text) return std::nullopt;
    const auto stat = parseStat(*text);
    if (!stat || hasEnded(stat->state)) return std::nullopt;
    return ProcessIdentity{pid, stat->startTime};
}

ProcessIdentity self() {
    return liveIdentity(::getpid()).value_or(ProcessIdentity{::getpid(), 0});
}

bool isLive(const ProcessIdentity& process) {
    return liveIdentity(process.pid) == process;
}

std::optional<std::string> executable(pid_t pid) {
    if (pid <= 0) return std::nullopt;
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(procEntry(pid, "exe").c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
    return std::string(target.data(), static_cast<std::size_t>(length));
}

std::vector<std::string> commandLine(pid_t pid) {
    std::vector<std::string> arguments;
    if (pid <= 0) return arguments;
    const auto text = readEntry(pid, "cmdline");
    if (!text) return arguments;
    std::size_t begin = 0;
    while (begin < text->size()) {
        std::size_t end = text->find('\0', begin);
        if (end == std::string::npos) end = text->size();
        arguments.push_back(text->substr(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}

}  // namespace corvanta::ProcessInfo

#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

// A process told apart from any later one that reuses its pid: its pid and its start time.
struct ProcessIdentity {
    pid_t pid = 0;
    // Clock ticks from boot to the process's start (/proc/PID/stat, field 22).
    std::uint64_t startTime = 0;

    bool operator==(const ProcessIdentity&) const = default;
};

// What Linux's /proc tells about a process. Nothing here throws: a process that is gone, or
// whose entries cannot be read, reads as absent.
namespace ProcessInfo {

struct StatLine {
    char state = '?';
    std::uint64_t startTime = 0;
};
// The fields of a /proc/PID/stat line this system needs; none for a malformed line. The
// command name in parentheses may itself hold spaces and parentheses.
std::optional<StatLine> parseStat(std::string_view line);

// The process as it runs now; none when it is gone or has ended (a zombie).
std::optional<ProcessIdentity> liveIdentity(pid_t pid);
// This very process.
ProcessIdentity self();
// That very process still runs (not ended, not replaced by a later one with its pid).
bool isLive(const ProcessIdentity& process);
// The program it runs (/proc/PID/exe): " (deleted)" follows a path whose file was replaced.
std::optional<std::string> executable(pid_t pid);
// Its command line, program first; empty when unreadable.
std::vector<std::string> commandLine(pid_t pid);

}  // namespace ProcessInfo
}  // namespace corvanta

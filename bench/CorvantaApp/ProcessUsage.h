#pragma once

// What the application benchmarks read of their own process: processor time and memory.

#include <sys/resource.h>

#include <cstring>
#include <fstream>
#include <string>

namespace corvanta::bench {

// User and system processor time of the whole process so far.
inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A memory figure of /proc/self/status ("VmRSS:", "VmHWM:"...) in MiB, 0 when it cannot be read.
inline double procStatusMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::strlen(key))) / 1024.0;
    }
    return 0;
}

inline double residentMiB() {
    return procStatusMiB("VmRSS:");
}

}  // namespace corvanta::bench

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>

#include "CpuList.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {
namespace detail {
namespace {

constexpr int maxCpuNumber = 1 << 16;

std::optional<int> parseNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// On hybrid Intel processors the kernel lists the performance cores' CPUs here (and the
// efficiency cores' under cpu_atom); elsewhere the file does not exist.
std::optional<std::vector<int>> hybridPerformanceCpus() {
    std::ifstream file("/sys/devices/cpu_core/cpus");
    std::string text;
    if (!file || !std::getline(file, text)) return std::nullopt;
    return parseCpuList(text);
}

}  // namespace

std::optional<std::vector<int>> parseCpuList(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::vector<int> cpus;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const auto first = parseNumber(item.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : parseNumber(item.substr(dash + 1));
        if (!first || !last || *last < *first || *last >= maxCpuNumber) return std::nullopt;
        for (int cpu = *first; cpu <= *last; ++cpu) cpus.push_back(cpu);
    }
    return cpus;
}

}  // namespace detail

int CPUEngine::performanceCoreCount() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) {
        return static_cast<int>(std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L));
    }
    int count = CPU_COUNT(&allowed);
    if (const auto performanceCpus = detail::hybridPerformanceCpus()) {
        count = static_cast<int>(std::ranges::count_if(*performanceCpus, [&](int cpu) {
            return cpu < CPU_SETSIZE && CPU_ISSET(cpu, &allowed);
        }));
    }
    return std::max(count, 1);
}

}  // namespace corvanta

#include "corvanta/mining/CPUUsageProbe.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

// Field positions on the "cpu" line, after the label.
enum Field { user, nice, system, idle, iowait, irq, softirq, steal };

std::optional<std::vector<double>> numbersAfterLabel(std::string_view line) {
    std::vector<double> numbers;
    std::size_t position = line.find(' ');
    while (position != std::string_view::npos) {
        position = line.find_first_not_of(' ', position);
        if (position == std::string_view::npos) break;
        const std::size_t end = std::min(line.find(' ', position), line.size());
        unsigned long long value = 0;
        const auto* first = line.data() + position;
        const auto* last = line.data() + end;
        const auto [stop, error] = std::from_chars(first, last, value);
        if (error != std::errc{} || stop != last) return std::nullopt;
        numbers.push_back(static_cast<double>(value));
        position = end;
    }
    return numbers;
}

double processCPUSeconds() {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double finiteFraction(double value) {
    if (!std::isfinite(value)) return 0;
    return std::clamp(value, 0.0, 1.0);
}

}  // namespace

std::optional<SystemTicks> parseSystemTicks(std::string_view procStat) {
    while (!procStat.empty()) {
        const std::size_t end = std::min(procStat.find('\n'), procStat.size());
        const std::string_view line = procStat.substr(0, end);
        procStat.remove_prefix(std::min(end + 1, procStat.size()));
        if (!line.starts_with("cpu ")) continue;

        const auto numbers = numbersAfterLabel(line);
        // Kernels older than 2.6 give only the first four counters.
        if (!numbers || numbers->size() < 4) return std::nullopt;
        const auto field = [&](Field index) {
            return static_cast<std::size_t>(index) < numbers->size() ? (*numbers)[index] : 0.0;
        };
        SystemTicks ticks;
        ticks.busy =
            field(user) + field(nice) + field(system) + field(irq) + field(softirq) + field(steal);
        ticks.total = ticks.busy + field(idle) + field(iowait);
        return ticks;
    }
    return std::nullopt;
}

CPUUsageProbe::Readers CPUUsageProbe::Readers::live(std::filesystem::path procStat) {
    Readers readers;
    readers.systemTicks = [path = std::move(procStat)]() -> std::optional<SystemTicks> {
        try {
            return parseSystemTicks(readFile(path));
        } catch (const FileReadError&) {
            return std::nullopt;
        }
    };
    readers.processSeconds = processCPUSeconds;
    readers.now = [] { return std::chrono::steady_clock::now(); };
    return readers;
}

CPUUsageProbe::CPUUsageProbe(int coreCount, Readers readers)
    : coreCount_(static_cast<double>(std::max(coreCount, 1))), readers_(std::move(readers)) {}

std::optional<CPUUsageSample> CPUUsageProbe::sample() {
    const auto ticks = readers_.systemTicks();
    if (!ticks) return std::nullopt;
    const double processSeconds = readers_.processSeconds();
    const auto now = readers_.now();

    const std::lock_guard lock(mutex_);
    std::optional<CPUUsageSample> result;
    if (baseline_) {
        const double busyDelta = ticks->busy - baseline_->systemBusyTicks;
        const double totalDelta = ticks->total - baseline_->systemTotalTicks;
        const double wall = std::chrono::duration<double>(now - baseline_->wallClock).count();
        if (totalDelta > 0 && wall > 0) {
            result = CPUUsageSample{
                finiteFraction(busyDelta / totalDelta),
                finiteFraction((processSeconds - baseline_->processSeconds) / (wall * coreCount_)),
            };
        }
    }
    baseline_ = Baseline{ticks->busy, ticks->total, processSeconds, now};
    return result;
}

}  // namespace corvanta

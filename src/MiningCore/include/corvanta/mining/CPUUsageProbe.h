#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

namespace corvanta {

// How busy the machine's processors were, and how much of them this process used, between two
// samples. Both fractions are in 0...1.
struct CPUUsageSample {
    double systemFraction = 0;
    double processFraction = 0;
    bool operator==(const CPUUsageSample&) const = default;
};

// Cumulative processor ticks of the whole machine, summed over all processors.
struct SystemTicks {
    double busy = 0;
    double total = 0;
};

// Reads the aggregate "cpu" line of /proc/stat. Busy time is user, nice, system, irq, softirq and
// steal; waiting for I/O counts as idle. Guest time is already inside user and nice, so it is not
// added again. nullopt when the text has no usable "cpu" line.
std::optional<SystemTicks> parseSystemTicks(std::string_view procStat);

// Measures usage between successive calls of sample(). Safe to call from any thread: the baseline
// is read and replaced under a lock, so the later of two concurrent samples measures from the
// earlier one.
class CPUUsageProbe {
  public:
    struct Readers {
        std::function<std::optional<SystemTicks>()> systemTicks;
        // User plus system CPU time of this process, in seconds.
        std::function<double()> processSeconds;
        std::function<std::chrono::steady_clock::time_point()> now;

        // /proc/stat (at `procStat`), getrusage(RUSAGE_SELF) and the monotonic clock.
        static Readers live(std::filesystem::path procStat = "/proc/stat");
    };

    // The process fraction is divided by `coreCount` (at least 1).
    explicit CPUUsageProbe(int coreCount, Readers readers = Readers::live());

    // nullopt on the first call, when the system counters cannot be read (the baseline is then
    // left alone), and when no tick or no time passed since the previous call.
    std::optional<CPUUsageSample> sample();

  private:
    struct Baseline {
        double systemBusyTicks = 0;
        double systemTotalTicks = 0;
        double processSeconds = 0;
        std::chrono::steady_clock::time_point wallClock;
    };

    std::mutex mutex_;
    std::optional<Baseline> baseline_;
    const double coreCount_;
    const Readers readers_;
};

}  // namespace corvanta

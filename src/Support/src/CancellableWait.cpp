#include "corvanta/support/CancellableWait.h"

#include <condition_variable>
#include <mutex>

#include "corvanta/support/Cancelled.h"

namespace corvanta {

bool sleepFor(std::chrono::steady_clock::duration duration, std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    const auto deadline = std::chrono::steady_clock::now() + duration;
    // wait_until with a stop token registers its own stop callback, so no stop can be missed.
    wake.wait_until(lock, stop, deadline, [] { return false; });
    return !stop.stop_requested();
}

void sleepOrThrow(std::chrono::steady_clock::duration duration, std::stop_token stop) {
    if (!sleepFor(duration, stop)) throw Cancelled();
}

void throwIfStopRequested(const std::stop_token& stop) {
    if (stop.stop_requested()) throw Cancelled();
}

}  // namespace corvanta

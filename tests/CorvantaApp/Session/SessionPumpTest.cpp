// The session's pure rules and its event pump, without a node.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <thread>

#include "AppTestEnvironment.h"
#include "Session/EventPump.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A flood from several threads: bursts at most once per interval of the pump's own clock, every
// value applied once and in each thread's order without waiting for a later one, and a final
// value applied at once. How long a value waits is the session benchmark's figure.
TEST(EventPump, AFloodIsAppliedInBurstsNoCloserThanTheIntervalAndNoneIsHeldBack) {
    struct Value {
        int thread = 0;
        int index = 0;
        bool final = false;
    };
    // The pump's clock, which the test may stop; the burst records the reading the pump took
    // for its flush, the last one before it applies.
    std::atomic<bool> stopped = false;
    std::atomic<Clock::time_point> stoppedAt{};
    Clock::time_point lastReading{};
    const auto clock = [&] {
        lastReading = stopped ? stoppedAt.load() : Clock::now();
        return lastReading;
    };
    QObject context;
    std::vector<Clock::time_point> flushes;
    std::vector<Value> applied;
    EventPump<Value> pump(
        &context, 100ms,
        [&](std::vector<Value>& burst) {
            flushes.push_back(lastReading);
            applied.insert(applied.end(), burst.begin(), burst.end());
        },
        [](const Value& value) { return value.final; }, clock);

    constexpr int threads = 4, perThread = 2'000;
    std::vector<std::jthread> producers;
    for (int t = 0; t < threads; ++t) {
        producers.emplace_back([&pump, t] {
            for (int i = 0; i < perThread; ++i) {
                pump.push({t, i, false});
                if (i % 100 == 0) std::this_thread::sleep_for(5ms);
            }
        });
    }
    for (auto& producer : producers) producer.join();
    // Nothing is pushed any more: the last values arrive all the same.
    ASSERT_TRUE(waitUntil([&] { return applied.size() == threads * perThread; }, 30'000));

    for (std::size_t i = 1; i < flushes.size(); ++i) {
        EXPECT_GE(flushes[i] - flushes[i - 1], 100ms) << "flush " << i;
    }
    std::vector<int> next(threads, 0);
    for (const auto& value : applied) EXPECT_EQ(value.index, next[value.thread]++);

    // The end is applied as soon as it arrives, interval or not: with the pump's clock stopped at
    // its last flush, only the final value can bring the burst in on the one wake-up the pushes
    // queued, before any timer could.
    stoppedAt = flushes.back();
    stopped = true;
    const auto before = flushes.size();
    pump.push({0, 0, false});
    pump.push({0, 1, true});
    QCoreApplication::processEvents();
    ASSERT_EQ(flushes.size(), before + 1);
    EXPECT_EQ(applied.size(), threads * perThread + 2u);
}

}  // namespace
}  // namespace corvanta::testing

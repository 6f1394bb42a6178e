#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <future>
#include <latch>
#include <thread>

#include "CpuList.h"
#include "WorkerPool.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

TEST(CpuList, ParsesTheKernelListForm) {
    EXPECT_THAT(detail::parseCpuList("0-3,8,10-11\n"),
                Optional(ElementsAre(0, 1, 2, 3, 8, 10, 11)));
    EXPECT_THAT(detail::parseCpuList("5"), Optional(ElementsAre(5)));
    EXPECT_FALSE(detail::parseCpuList(""));
    EXPECT_FALSE(detail::parseCpuList("\n"));
    EXPECT_FALSE(detail::parseCpuList("3-1"));
    EXPECT_FALSE(detail::parseCpuList("0-3,,4"));
    EXPECT_FALSE(detail::parseCpuList("a-b"));
    EXPECT_FALSE(detail::parseCpuList("-1"));
    EXPECT_FALSE(detail::parseCpuList("0-99999999"));
}

TEST(PerformanceCoreCount, CountsOnlyCpusInTheAffinityMask) {
    const int all = CPUEngine::performanceCoreCount();
    EXPECT_GE(all, 1);
    EXPECT_EQ(CPUEngine::defaultThreadCount(), all);

    // Threads inherit the mask, so a thread pinned to one CPU sees at most one.
    const int pinned = std::async(std::launch::async, [] {
                           cpu_set_t one;
                           CPU_ZERO(&one);
                           sched_getaffinity(0, sizeof(one), &one);
                           for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
                               if (CPU_ISSET(cpu, &one)) {
                                   CPU_ZERO(&one);
                                   CPU_SET(cpu, &one);
                                   break;
                               }
                           }
                           sched_setaffinity(0, sizeof(one), &one);
                           return CPUEngine::performanceCoreCount();
                       }).get();
    EXPECT_EQ(pinned, 1);
}

int schedulingPolicyOfATaskOn(detail::WorkerPool& pool) {
    std::promise<int> policy;
    pool.submit([&policy] { policy.set_value(sched_getscheduler(0)); });
    return policy.get_future().get();
}

TEST(WorkerPool, CourteousThreadsRunAtIdlePriorityAndNormalOnesDoNot) {
    EXPECT_EQ(schedulingPolicyOfATaskOn(detail::WorkerPool::courteous()), SCHED_IDLE);
    EXPECT_EQ(schedulingPolicyOfATaskOn(detail::WorkerPool::normal()), SCHED_OTHER);
}

TEST(WorkerPool, GrowsSoThatNoTaskWaitsForABusyThread) {
    detail::WorkerPool pool(detail::WorkerPool::Priority::normal);
    constexpr int tasks = 6;
    // Every task blocks until all have started: only possible with one thread each.
    std::latch allStarted(tasks);
    std::latch allDone(tasks);
    for (int i = 0; i < tasks; ++i) {
        pool.submit([&] {
            allStarted.arrive_and_wait();
            allDone.count_down();
        });
    }
    allDone.wait();
    EXPECT_EQ(pool.threadCount(), static_cast<std::size_t>(tasks));

    // Idle threads are reused rather than added.
    std::latch again(1);
    pool.submit([&] { again.count_down(); });
    again.wait();
    EXPECT_EQ(pool.threadCount(), static_cast<std::size_t>(tasks));
}

}  // namespace
}  // namespace corvanta

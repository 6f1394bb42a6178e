#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace corvanta::detail {

// A pool of long-lived threads that runs blocking tasks (the engine's slice sweeps). It grows
// whenever a task arrives and no thread is free, so a task never waits behind another search's
// slices; threads are kept for later tasks, so its size is the largest demand ever seen.
class WorkerPool {
  public:
    enum class Priority {
        normal,
        idle,  // SCHED_IDLE: runs only on CPU time nothing else wants
    };

    explicit WorkerPool(Priority priority);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Stops and joins the threads; tasks still running are waited for.
    ~WorkerPool() = default;

    // Hands the task to a free thread, starting a new one when none is free. Throws
    // std::system_error only when the pool has no thread at all and none can be created (the
    // task is then not queued); with threads present it is queued for the next free one.
    void submit(std::function<void()> task);

    std::size_t threadCount() const;

    // The two process-wide pools, created on first use. A thread's priority is never raised
    // again once lowered, so the pools never lend threads to each other.
    static WorkerPool& normal();
    static WorkerPool& courteous();

  private:
    void serve(std::stop_token stop);

    const Priority priority_;
    mutable std::mutex mutex_;
    std::condition_variable_any taskArrived_;
    std::deque<std::function<void()>> queue_;
    std::size_t idleThreads_ = 0;
    std::vector<std::jthread> threads_;  // last, so it is joined before the rest is destroyed
};

}  // namespace corvanta::detail

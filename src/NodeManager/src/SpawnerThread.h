#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace corvanta {

// The one thread on which this process forks its children, started on first use and ended only
// when the process exits. Linux sends a child its parent-death signal when the *thread* that
// forked it ends, not the process: a child forked on a pool's worker thread, which the pool
// retires once idle, would be told its parent died while the application still runs. Being
// process-wide is the point of it, so it is the one object of this kind.
class SpawnerThread {
  public:
    static SpawnerThread& instance();

    // Runs `job` on the spawner thread and returns its result (or rethrows what it threw).
    template <typename Job>
    std::invoke_result_t<Job> run(Job job) {
        using Result = std::invoke_result_t<Job>;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
        std::future<Result> result = task->get_future();
        submit([task] { (*task)(); });
        return result.get();
    }

    SpawnerThread(const SpawnerThread&) = delete;
    SpawnerThread& operator=(const SpawnerThread&) = delete;

  private:
    SpawnerThread();
    void submit(std::function<void()> job);
    void loop(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> jobs_;
    std::jthread thread_;  // last: started once the queue exists
};

}  // namespace corvanta

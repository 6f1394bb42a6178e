#include "WorkerPool.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <system_error>

namespace corvanta::detail {
namespace {

void lowerToIdlePriority() {
    sched_param parameters{};
    parameters.sched_priority = 0;
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameters) != 0) {
        // Where the idle policy is refused, the lowest nice value is the next best thing.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    }
}

}  // namespace

WorkerPool::WorkerPool(Priority priority) : priority_(priority) {}

WorkerPool& WorkerPool::normal() {
    static WorkerPool pool(Priority::normal);
    return pool;
}

WorkerPool& WorkerPool::courteous() {
    static WorkerPool pool(Priority::idle);
    return pool;
}

std::size_t WorkerPool::threadCount() const {
    const std::scoped_lock lock(mutex_);
    return threads_.size();
}

void WorkerPool::submit(std::function<void()> task) {
    const std::scoped_lock lock(mutex_);
    queue_.push_back(std::move(task));
    if (queue_.size() > idleThreads_) {
        try {
            threads_.emplace_back([this](std::stop_token stop) { serve(stop); });
        } catch (const std::system_error&) {
            if (threads_.empty()) {
                queue_.pop_back();
                throw;
            }
        }
    }
    taskArrived_.notify_one();
}

void WorkerPool::serve(std::stop_token stop) {
    pthread_setname_np(pthread_self(),
                       priority_ == Priority::idle ? "corvanta-idle" : "corvanta-hash");
    if (priority_ == Priority::idle) lowerToIdlePriority();

    std::unique_lock lock(mutex_);
    while (true) {
        ++idleThreads_;
        const bool hasTask = taskArrived_.wait(lock, stop, [this] { return !queue_.empty(); });
        --idleThreads_;
        if (!hasTask) return;
        std::function<void()> task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

}  // namespace corvanta::detail

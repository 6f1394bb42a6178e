#include "BackgroundTasks.h"

#include <atomic>

namespace corvanta::loop {

BackgroundTasks::~BackgroundTasks() {
    lifetime_.request_stop();
    std::list<Task> remaining;
    {
        std::lock_guard lock(mutex_);
        remaining.swap(tasks_);
    }
    // jthreads join as the list goes.
}

void BackgroundTasks::spawn(std::function<void(std::stop_token)> work) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::list<Task> reaped;
    std::lock_guard lock(mutex_);
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (it->finished->load()) {
            reaped.splice(reaped.end(), tasks_, it++);
        } else {
            ++it;
        }
    }
    tasks_.push_back(
        Task{std::jthread([work = std::move(work), finished, token = lifetime_.get_token()] {
                 try {
                     work(token);
                 } catch (...) {
                     // Background work reports through its own events, never by
                     // ending the process.
                 }
                 finished->store(true);
             }),
             finished});
}

}  // namespace corvanta::loop

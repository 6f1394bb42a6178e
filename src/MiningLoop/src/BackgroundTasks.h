#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace corvanta::loop {

// Fire-and-forget work that must still not outlive its owner: each task runs on its own thread;
// finished threads are reaped as new tasks arrive, and the destructor stops and joins the rest.
class BackgroundTasks {
  public:
    BackgroundTasks() = default;
    ~BackgroundTasks();
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;

    void spawn(std::function<void(std::stop_token)> work);

  private:
    struct Task {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex mutex_;
    std::stop_source lifetime_;
    std::list<Task> tasks_;
};

}  // namespace corvanta::loop

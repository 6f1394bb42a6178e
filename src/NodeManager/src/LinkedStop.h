#pragma once

#include <stop_token>
#include <utility>

namespace corvanta {

// A stop token that fires when either of two others does (a caller's own token and an owner's
// latch). Fires at once when either has already fired.
class LinkedStop {
  public:
    LinkedStop(std::stop_token first, std::stop_token second)
        : fromFirst_(std::move(first), Request{&source_}),
          fromSecond_(std::move(second), Request{&source_}) {}
    LinkedStop(const LinkedStop&) = delete;
    LinkedStop& operator=(const LinkedStop&) = delete;

    std::stop_token token() const { return source_.get_token(); }

  private:
    struct Request {
        std::stop_source* source;
        void operator()() const noexcept { source->request_stop(); }
    };

    std::stop_source source_;
    std::stop_callback<Request> fromFirst_;
    std::stop_callback<Request> fromSecond_;
};

}  // namespace corvanta

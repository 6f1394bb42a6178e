#pragma once

#include <exception>

namespace corvanta {

// Thrown by every blocking call whose stop token fires. It derives from no module error on
// purpose, so recovery code that catches a module's errors can never swallow a stop.
class Cancelled final : public std::exception {
  public:
    const char* what() const noexcept override { return "cancelled"; }
};

}  // namespace corvanta

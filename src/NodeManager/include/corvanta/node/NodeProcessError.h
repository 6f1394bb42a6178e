#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>

namespace corvanta {

// Why the node could not be started or reached. description() (and what()) is a fixed French
// text; the session translates the texts it knows.
class NodeProcessError : public std::runtime_error {
  public:
    struct BinaryMissing {
        std::string path;
        bool operator==(const BinaryMissing&) const = default;
    };
    struct ExitedDuringStartup {
        std::int32_t status;
        std::string output;
        bool operator==(const ExitedDuringStartup&) const = default;
    };
    struct CookieTimeout {
        std::string path;
        bool operator==(const CookieTimeout&) const = default;
    };
    struct LockConflict {
        std::string dataDirectory;
        bool operator==(const LockConflict&) const = default;
    };
    struct IntegrityMismatch {
        std::string expectedVersion;
        std::string expectedDigest;
        std::string actualDigest;
        std::string foundVersion;
        bool operator==(const IntegrityMismatch&) const = default;
    };
    struct AlreadyRunning {
        bool operator==(const AlreadyRunning&) const = default;
    };
    struct NotRunning {
        bool operator==(const NotRunning&) const = default;
    };
    struct WarmupTimeout {
        bool operator==(const WarmupTimeout&) const = default;
    };
    using Kind = std::variant<BinaryMissing, ExitedDuringStartup, CookieTimeout, LockConflict,
                              IntegrityMismatch, AlreadyRunning, NotRunning, WarmupTimeout>;

    explicit NodeProcessError(Kind kind);
    const Kind& kind() const { return kind_; }
    std::string description() const { return what(); }
    bool operator==(const NodeProcessError& other) const { return kind_ == other.kind_; }

    static std::string describe(const Kind& kind);

  private:
    Kind kind_;
};

}  // namespace corvanta

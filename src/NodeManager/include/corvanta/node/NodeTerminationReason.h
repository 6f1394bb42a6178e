#pragma once

#include <cstdint>
#include <variant>

namespace corvanta {

// Why the last node ended.
struct NodeTerminationReason {
    // It ended on its own: its exit code, or the number of the signal that ended it.
    struct Unexpected {
        std::int32_t status;
        bool operator==(const Unexpected&) const = default;
    };
    // The system asked it to end.
    struct Requested {
        bool operator==(const Requested&) const = default;
    };

    std::variant<Unexpected, Requested> value;

    static NodeTerminationReason unexpected(std::int32_t status) { return {Unexpected{status}}; }
    static NodeTerminationReason requested() { return {Requested{}}; }
    bool isRequested() const { return std::holds_alternative<Requested>(value); }

    bool operator==(const NodeTerminationReason&) const = default;
};

}  // namespace corvanta

#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace corvanta {

// A change the governor made, with the French reason the application translates and logs.
struct GovernorEvent {
    struct Paused {
        std::string reason;
        bool operator==(const Paused&) const = default;
    };
    struct Resumed {
        std::string reason;
        bool operator==(const Resumed&) const = default;
    };
    struct WorkerCountChanged {
        int count = 0;
        std::string reason;
        bool operator==(const WorkerCountChanged&) const = default;
    };
    using Kind = std::variant<Paused, Resumed, WorkerCountChanged>;

    Kind kind;

    static GovernorEvent paused(std::string reason) { return {Paused{std::move(reason)}}; }
    static GovernorEvent resumed(std::string reason) { return {Resumed{std::move(reason)}}; }
    static GovernorEvent workerCountChanged(int count, std::string reason) {
        return {WorkerCountChanged{count, std::move(reason)}};
    }

    const std::string& reason() const {
        return std::visit([](const auto& event) -> const std::string& { return event.reason; },
                          kind);
    }

    bool operator==(const GovernorEvent&) const = default;
};

// What the hash engine should do now.
struct GovernorDecision {
    bool isPaused = false;
    int workerCount = 1;
    bool operator==(const GovernorDecision&) const = default;
};

inline constexpr std::string_view thermalCriticalPauseMessage =
    "Mining en pause — protection thermique de l'ordinateur";
// The schedule's pause, which the views tell apart from the machine's own reasons.
inline constexpr std::string_view schedulePauseMessage = "Mining en pause — planning horaire";

}  // namespace corvanta

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "corvanta/support/IsoDate.h"

namespace corvanta {

enum class FoundBlockStatus { pending, mature, orphaned, rejected };

std::string_view toString(FoundBlockStatus status);
std::optional<FoundBlockStatus> foundBlockStatusNamed(std::string_view text);

inline constexpr std::int64_t maturityConfirmations = 100;

// One block this miner found on a network, as kept in the history file.
struct FoundBlock {
    std::string id;  // UUID, 36 characters, upper case
    std::int64_t height = 0;
    std::vector<std::uint8_t> blockHash;  // hash byte order
    std::vector<std::uint8_t> coinbaseTxID;
    std::int64_t rewardSats = 0;
    WholeSeconds foundAt{};
    std::int64_t confirmations = 0;
    FoundBlockStatus status = FoundBlockStatus::pending;

    bool operator==(const FoundBlock&) const = default;
};

// Where a block stands in the node's chain.
struct ChainPresence {
    struct Active {
        std::int64_t confirmations;
        bool operator==(const Active&) const = default;
    };
    struct Orphaned {
        bool operator==(const Orphaned&) const = default;
    };
    struct Unknown {
        bool operator==(const Unknown&) const = default;
    };
    std::variant<Active, Orphaned, Unknown> value;
    bool operator==(const ChainPresence&) const = default;
};

}  // namespace corvanta

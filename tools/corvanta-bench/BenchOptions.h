#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace corvanta::tools {

struct BenchOptions {
    std::optional<int> threads;           // default: the performance cores
    std::optional<std::uint64_t> hashes;  // default: about a few seconds' worth
    bool helpWanted = false;
};

struct BadArguments {
    std::string message;
};

std::variant<BenchOptions, BadArguments> parseBenchOptions(std::span<char* const> arguments);

extern const char* const benchUsage;

}  // namespace corvanta::tools

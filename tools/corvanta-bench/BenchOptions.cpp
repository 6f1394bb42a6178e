#include "BenchOptions.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace corvanta::tools {
namespace {

template <typename Number>
std::optional<Number> parsePositive(std::string_view text, Number max) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* const benchUsage =
    "usage: corvanta-bench [--threads N] [--hashes H]\n"
    "  Runs the hashing self-test, then measures the CPU engine.\n"
    "  --threads N  worker threads (default: the performance cores)\n"
    "  --hashes H   nonces to hash (default: about four seconds' worth; at most 2^32 are used)\n";

std::variant<BenchOptions, BadArguments> parseBenchOptions(std::span<char* const> arguments) {
    constexpr int maxThreads = 4096;
    BenchOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.helpWanted = true;
            continue;
        }
        if (argument != "--threads" && argument != "--hashes") {
            return BadArguments{"unknown option '" + std::string(argument) + "'"};
        }
        if (i + 1 == arguments.size()) {
            return BadArguments{std::string(argument) + " needs a value"};
        }
        const std::string_view value = arguments[++i];
        if (argument == "--threads") {
            options.threads = parsePositive<int>(value, maxThreads);
            if (!options.threads) {
                return BadArguments{"--threads needs a whole number from 1 to " +
                                    std::to_string(maxThreads) + ", not '" + std::string(value) +
                                    "'"};
            }
        } else {
            options.hashes =
                parsePositive<std::uint64_t>(value, std::numeric_limits<std::uint64_t>::max());
            if (!options.hashes) {
                return BadArguments{"--hashes needs a whole number of at least 1, not '" +
                                    std::string(value) + "'"};
            }
        }
    }
    return options;
}

}  // namespace corvanta::tools

#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::testing {

inline Bytes hex(std::string_view text) {
    auto bytes = BitcoinEncoding::hexBytes(text);
    if (!bytes) throw std::invalid_argument("bad hex in test: " + std::string(text));
    return *bytes;
}

// A hash written as the node displays it, turned into hash byte order.
inline Hash32 displayHash(std::string_view text) {
    const Bytes bytes = hex(text);
    if (bytes.size() != 32) throw std::invalid_argument("not a 32-byte hash");
    Hash32 hash{};
    std::reverse_copy(bytes.begin(), bytes.end(), hash.begin());
    return hash;
}

inline std::string displayHex(const Hash32& hash) {
    Hash32 reversed{};
    std::reverse_copy(hash.begin(), hash.end(), reversed.begin());
    return BitcoinEncoding::hexString(reversed);
}

// The "result" of a recorded node answer.
inline json::Value fixtureResult(const std::string& name) {
    std::ifstream file(std::string(CORVANTA_ASSEMBLY_FIXTURES) + "/" + name);
    if (!file) throw std::runtime_error("missing fixture " + name);
    std::stringstream text;
    text << file.rdbuf();
    return json::parse(text.str()).at("result");
}

}  // namespace corvanta::testing

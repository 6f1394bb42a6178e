#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/mining/Hash32.h"

namespace corvanta {

using Bytes = std::vector<std::uint8_t>;

// The byte-level forms every serialization of a block rests on.
namespace BitcoinEncoding {

// Bitcoin's CompactSize: one byte up to 0xFC, else a 0xFD / 0xFE / 0xFF marker followed by the
// value in 2, 4 or 8 little-endian bytes.
Bytes varInt(std::uint64_t value);

// Lower-case hexadecimal, two digits per byte, no prefix or separator.
std::string hexString(std::span<const std::uint8_t> bytes);

// Strict inverse of hexString: an even number of hex digits (either case) and nothing else — no
// whitespace, sign or "0x". The empty text gives an empty array.
std::optional<Bytes> hexBytes(std::string_view text);

}  // namespace BitcoinEncoding

// SHA-256 of the SHA-256, in hash byte order (the raw digest order).
Hash32 doubleSHA256(std::span<const std::uint8_t> bytes);

}  // namespace corvanta

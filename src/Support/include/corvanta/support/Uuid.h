#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace corvanta {

// A random (version 4) UUID in the standard 36-character form, upper-case hexadecimal.
std::string makeUuid();

using UuidBytes = std::array<std::uint8_t, 16>;

// The standard 36-character form of 16 bytes, upper-case hexadecimal.
std::string uuidText(const UuidBytes& bytes);
// The bytes of a text isUuid accepts; none for any other text.
std::optional<UuidBytes> uuidBytes(const std::string& text);

// True for the 36-character form with hyphens at 8, 13, 18 and 23, either case.
bool isUuid(const std::string& text);

}  // namespace corvanta

#pragma once

#include <string>

namespace corvanta {

// A random (version 4) UUID in the standard 36-character form, upper-case hexadecimal.
std::string makeUuid();

// True for the 36-character form with hyphens at 8, 13, 18 and 23, either case.
bool isUuid(const std::string& text);

}  // namespace corvanta

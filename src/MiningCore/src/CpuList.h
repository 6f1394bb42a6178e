#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace corvanta::detail {

// Parses the kernel's CPU list form, such as "0-3,8,10-11\n", into CPU numbers. Empty for text
// that is not such a list.
std::optional<std::vector<int>> parseCpuList(std::string_view text);

}  // namespace corvanta::detail

#pragma once

#include <string_view>

namespace corvanta {

inline constexpr std::string_view kNodeManagerVersion = "0.1.0";  // NodeManagerInfo.version

}  // namespace corvanta

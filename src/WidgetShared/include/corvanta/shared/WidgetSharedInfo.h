#pragma once

#include <string_view>

namespace corvanta {

struct WidgetSharedInfo {
    static constexpr std::string_view version = "0.1.0";
};

}  // namespace corvanta

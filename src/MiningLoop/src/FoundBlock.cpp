#include "corvanta/loop/FoundBlock.h"

namespace corvanta {

std::string_view toString(FoundBlockStatus status) {
    switch (status) {
        case FoundBlockStatus::pending:
            return "pending";
        case FoundBlockStatus::mature:
            return "mature";
        case FoundBlockStatus::orphaned:
            return "orphaned";
        case FoundBlockStatus::rejected:
            return "rejected";
    }
    return "pending";
}

std::optional<FoundBlockStatus> foundBlockStatusNamed(std::string_view text) {
    for (const auto status : {FoundBlockStatus::pending, FoundBlockStatus::mature,
                              FoundBlockStatus::orphaned, FoundBlockStatus::rejected}) {
        if (toString(status) == text) return status;
    }
    return std::nullopt;
}

}  // namespace corvanta

#pragma once

#include <array>
#include <optional>

namespace corvanta {

// The disk budget of the pruned node, in GiB.
enum class StorageTarget : int { gib15 = 15, gib20 = 20, gib30 = 30 };

inline constexpr std::array<StorageTarget, 3> kAllStorageTargets = {
    StorageTarget::gib15, StorageTarget::gib20, StorageTarget::gib30};
inline constexpr StorageTarget kDefaultStorageTarget = StorageTarget::gib15;
// What the node keeps whatever the prune target (chain state, indexes, headroom).
inline constexpr int kIncompressibleGiB = 12;

constexpr int rawValue(StorageTarget target) {
    return static_cast<int>(target);
}
constexpr int pruneMiB(StorageTarget target) {
    return (rawValue(target) - kIncompressibleGiB) * 1024;
}
// 15, 20 or 30; anything else gives nullopt.
std::optional<StorageTarget> storageTarget(int rawValue);

}  // namespace corvanta

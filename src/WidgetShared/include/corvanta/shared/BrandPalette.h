#pragma once

#include <cstdint>

// The brand colours both programs draw with, as 0xRRGGBB.
namespace corvanta::BrandPalette {

inline constexpr std::uint32_t violet = 0x8064E8;
inline constexpr std::uint32_t violetLight = 0xDCD2FF;
inline constexpr std::uint32_t pink = 0xF39ABD;
inline constexpr std::uint32_t pinkLight = 0xFFE4EE;
inline constexpr std::uint32_t mint = 0x43C99A;
inline constexpr std::uint32_t mintLight = 0xDDF7ED;
inline constexpr std::uint32_t sunny = 0xFFC95C;
inline constexpr std::uint32_t bitcoinOrange = 0xFF9914;
inline constexpr std::uint32_t background = 0xFFFDF7;
inline constexpr std::uint32_t backgroundDark = 0x151219;
inline constexpr std::uint32_t textPrimary = 0x171717;
inline constexpr std::uint32_t textSecondary = 0x77736F;
inline constexpr std::uint32_t successText = 0x167F58;
inline constexpr std::uint32_t warningText = 0x8A5A00;

}  // namespace corvanta::BrandPalette

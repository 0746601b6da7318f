#pragma once
// The skin block format read by the skin engine, and the colour adjustments it applies.
//
// A block (all numbers little-endian):
//   ".SHE"                 4 bytes
//   version                u16, 1
//   colour count n         u16, at most kMaxColours
//   n colours              {u8 role, u8 red, u8 green, u8 blue}
//   name length L, name    u8, then L bytes of GBK text
//   checksum               u32, FNV-1a over every byte before it
// and nothing after. Unknown roles are skipped, so later versions can add colours.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace skin {

enum class Role : uint8_t {
  WindowBackground,
  GroupBackground,
  Text,
  ButtonFace,
  ButtonHot,
  ButtonPressed,
  ButtonBorder,
  EditBackground,
  EditText,
  HeaderBackground,
  Accent,
  Count
};

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Palette {
  std::array<Rgb, static_cast<size_t>(Role::Count)> colours{};
  std::string name;  // GBK

  const Rgb& operator[](Role role) const { return colours[static_cast<size_t>(role)]; }
  Rgb& operator[](Role role) { return colours[static_cast<size_t>(role)]; }
  friend bool operator==(const Palette&, const Palette&) = default;
};

inline constexpr uint16_t kFormatVersion = 1;
inline constexpr uint16_t kMaxColours = 64;

// The palette of a well-formed block; nullopt for anything else (wrong magic, version, length,
// checksum, a missing or repeated role).
std::optional<Palette> ParseSkinBlock(std::span<const uint8_t> block);

uint32_t Fnv1a(std::span<const uint8_t> bytes);

// Shifts a colour in HSL space: hue by degrees (any value, taken modulo 360); saturation and
// brightness by percent from -100 (none / black) through 0 (unchanged) to 100 (full / white).
Rgb AdjustColour(Rgb colour, int hue, int saturation, int brightness);
Palette AdjustPalette(const Palette& palette, int hue, int saturation, int brightness);

}  // namespace skin

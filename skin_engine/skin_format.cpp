#include "skin_engine/skin_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace skin {
namespace {

constexpr char kMagic[4] = {'.', 'S', 'H', 'E'};
constexpr size_t kFixedHeader = 8;  // magic, version, count
constexpr size_t kChecksumSize = 4;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct Hsl {
  double h, s, l;  // h in [0, 360), s and l in [0, 1]
};

Hsl ToHsl(Rgb c) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  Hsl out{0, 0, (hi + lo) / 2};
  const double d = hi - lo;
  if (d <= 0) return out;
  out.s = out.l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
  if (hi == r)
    out.h = 60 * std::fmod((g - b) / d + 6, 6);
  else if (hi == g)
    out.h = 60 * ((b - r) / d + 2);
  else
    out.h = 60 * ((r - g) / d + 4);
  return out;
}

double HueChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255), 0L, 255L)); }

Rgb ToRgb(Hsl c) {
  if (c.s <= 0) return {ToByte(c.l), ToByte(c.l), ToByte(c.l)};
  const double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
  const double p = 2 * c.l - q;
  const double h = c.h / 360;
  return {ToByte(HueChannel(p, q, h + 1.0 / 3)), ToByte(HueChannel(p, q, h)), ToByte(HueChannel(p, q, h - 1.0 / 3))};
}

// Moves x in [0, 1] toward 1 for a positive percent and toward 0 for a negative one.
double Shift(double x, int percent) {
  const double f = std::clamp(percent, -100, 100) / 100.0;
  return f >= 0 ? x + (1 - x) * f : x * (1 + f);
}

}  // namespace

uint32_t Fnv1a(std::span<const uint8_t> bytes) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
  return hash;
}

std::optional<Palette> ParseSkinBlock(std::span<const uint8_t> block) {
  if (block.size() < kFixedHeader + 1 + kChecksumSize || std::memcmp(block.data(), kMagic, 4) != 0)
    return std::nullopt;
  if (Read16(block.data() + 4) != kFormatVersion) return std::nullopt;
  const size_t count = Read16(block.data() + 6);
  if (count > kMaxColours) return std::nullopt;
  const size_t nameAt = kFixedHeader + 4 * count;
  if (block.size() < nameAt + 1 + kChecksumSize) return std::nullopt;
  const size_t nameLength = block[nameAt];
  const size_t checksumAt = nameAt + 1 + nameLength;
  if (block.size() != checksumAt + kChecksumSize) return std::nullopt;
  uint32_t stored;
  std::memcpy(&stored, block.data() + checksumAt, 4);
  if (stored != Fnv1a(block.first(checksumAt))) return std::nullopt;

  Palette palette;
  std::array<bool, static_cast<size_t>(Role::Count)> seen{};
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = block.data() + kFixedHeader + 4 * i;
    if (entry[0] >= static_cast<uint8_t>(Role::Count)) continue;
    if (seen[entry[0]]) return std::nullopt;
    seen[entry[0]] = true;
    palette.colours[entry[0]] = {entry[1], entry[2], entry[3]};
  }
  if (!std::all_of(seen.begin(), seen.end(), [](bool b) { return b; })) return std::nullopt;
  palette.name.assign(reinterpret_cast<const char*>(block.data() + nameAt + 1), nameLength);
  return palette;
}

Rgb AdjustColour(Rgb colour, int hue, int saturation, int brightness) {
  if (hue % 360 == 0 && saturation == 0 && brightness == 0) return colour;
  Hsl c = ToHsl(colour);
  c.h = std::fmod(c.h + hue % 360 + 360, 360);
  c.s = Shift(c.s, saturation);
  c.l = Shift(c.l, brightness);
  return ToRgb(c);
}

Palette AdjustPalette(const Palette& palette, int hue, int saturation, int brightness) {
  Palette out = palette;
  for (Rgb& c : out.colours) c = AdjustColour(c, hue, saturation, brightness);
  return out;
}

}  // namespace skin

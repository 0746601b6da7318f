// Skin blocks of any bytes, and the colour adjustments applied to their palettes.
//
// Input: the block. It is parsed as it is and once more with its last four bytes replaced by the
// right checksum, so that mutations get past the checksum to the palette. Its first twelve bytes
// (zero-filled when shorter) also give a hue, a saturation and a brightness shift.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "skin_engine/skin_format.h"

namespace {

// The block of a palette, written as the format describes.
std::vector<uint8_t> Encode(const skin::Palette& palette) {
  std::vector<uint8_t> block = {'.', 'S', 'H', 'E', 1, 0, static_cast<uint8_t>(palette.colours.size()), 0};
  for (size_t role = 0; role < palette.colours.size(); ++role) {
    const skin::Rgb& c = palette.colours[role];
    block.insert(block.end(), {static_cast<uint8_t>(role), c.r, c.g, c.b});
  }
  block.push_back(static_cast<uint8_t>(palette.name.size()));
  block.insert(block.end(), palette.name.begin(), palette.name.end());
  const uint32_t sum = skin::Fnv1a(block);
  for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<uint8_t>(sum >> shift));
  return block;
}

void CheckParsed(std::span<const uint8_t> block) {
  const std::optional<skin::Palette> palette = skin::ParseSkinBlock(block);
  if (!palette) return;
  FUZZ_CHECK(palette->name.size() <= 255);
  const std::vector<uint8_t> again = Encode(*palette);
  FUZZ_CHECK(skin::ParseSkinBlock(again) == palette);
}

void CheckAdjusted(skin::Rgb colour, int hue, int saturation, int brightness) {
  skin::AdjustColour(colour, hue, saturation, brightness);
  FUZZ_CHECK(skin::AdjustColour(colour, 0, 0, 0) == colour);
  FUZZ_CHECK(skin::AdjustColour(colour, 360, 0, 0) == colour);
  FUZZ_CHECK((skin::AdjustColour(colour, hue, saturation, 100) == skin::Rgb{255, 255, 255}));
  FUZZ_CHECK((skin::AdjustColour(colour, hue, saturation, -100) == skin::Rgb{0, 0, 0}));
  const skin::Rgb grey = skin::AdjustColour(colour, hue, -100, brightness);
  FUZZ_CHECK(grey.r == grey.g && grey.g == grey.b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> block(data, size);
  CheckParsed(block);
  if (size >= 4) {
    std::vector<uint8_t> summed(data, data + size);
    const uint32_t sum = skin::Fnv1a(block.first(size - 4));
    std::memcpy(summed.data() + size - 4, &sum, 4);
    CheckParsed(summed);
  }

  int32_t shifts[3] = {};
  std::memcpy(shifts, data, std::min(size, sizeof shifts));
  const skin::Rgb colour{size > 12 ? data[12] : uint8_t{0}, size > 13 ? data[13] : uint8_t{0},
                         size > 14 ? data[14] : uint8_t{0}};
  CheckAdjusted(colour, shifts[0], shifts[1], shifts[2]);
  if (const auto palette = skin::ParseSkinBlock(block))
    skin::AdjustPalette(*palette, shifts[0], shifts[1], shifts[2]);
  return 0;
}

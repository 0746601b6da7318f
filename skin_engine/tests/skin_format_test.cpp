#include "skin_engine/skin_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using skin::Rgb;
using skin::Role;
using Bytes = std::vector<uint8_t>;

Bytes ReadBlock(int set, int number) {
  std::string path = std::string(PT_SKIN_BLOCK_DIR) + "/set" + std::to_string(set) + "_" + std::to_string(number) + ".she";
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
  path = "Z:" + path;  // the Linux root under Wine
#endif
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Builds a block from raw colour entries, with a valid checksum unless told otherwise.
Bytes Build(const std::vector<std::array<uint8_t, 4>>& entries, const std::string& name = "t",
            uint16_t version = 1, size_t declaredCount = SIZE_MAX) {
  Bytes b{'.', 'S', 'H', 'E', static_cast<uint8_t>(version), static_cast<uint8_t>(version >> 8)};
  const size_t count = declaredCount == SIZE_MAX ? entries.size() : declaredCount;
  b.push_back(static_cast<uint8_t>(count));
  b.push_back(static_cast<uint8_t>(count >> 8));
  for (const auto& e : entries) b.insert(b.end(), e.begin(), e.end());
  b.push_back(static_cast<uint8_t>(name.size()));
  b.insert(b.end(), name.begin(), name.end());
  const uint32_t sum = skin::Fnv1a(b);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(sum >> (8 * i)));
  return b;
}

std::vector<std::array<uint8_t, 4>> AllRoles() {
  std::vector<std::array<uint8_t, 4>> entries;
  for (uint8_t r = 0; r < static_cast<uint8_t>(Role::Count); ++r)
    entries.push_back({r, static_cast<uint8_t>(10 * r), static_cast<uint8_t>(10 * r + 1), static_cast<uint8_t>(10 * r + 2)});
  return entries;
}

TEST(SkinBlocksTest, AllSixteenParseAndDiffer) {
  std::set<std::string> names;
  std::set<std::string> blocks;
  for (int set : {1, 2})
    for (int number = 1; number <= 8; ++number) {
      const Bytes block = ReadBlock(set, number);
      const std::optional<skin::Palette> palette = skin::ParseSkinBlock(block);
      ASSERT_TRUE(palette) << set << "/" << number;
      EXPECT_TRUE(names.insert(palette->name).second) << palette->name;
      blocks.insert(std::string(block.begin(), block.end()));
      // Text must stand out from the surfaces it is drawn on.
      auto contrast = [](Rgb a, Rgb b) { return std::abs((a.r + a.g + a.b) - (b.r + b.g + b.b)); };
      EXPECT_GT(contrast((*palette)[Role::Text], (*palette)[Role::WindowBackground]), 300) << palette->name;
      EXPECT_GT(contrast((*palette)[Role::EditText], (*palette)[Role::EditBackground]), 300) << palette->name;
    }
  EXPECT_EQ(blocks.size(), 16u);
}

TEST(SkinBlocksTest, ProgramSkinIsALightTheme) {
  const std::optional<skin::Palette> palette = skin::ParseSkinBlock(ReadBlock(1, 1));
  ASSERT_TRUE(palette);
  const Rgb w = (*palette)[Role::WindowBackground];
  EXPECT_GT(w.r + w.g + w.b, 3 * 220);
}

// The checksum catches every single-bit change, and every cut is refused.
TEST(SkinBlocksTest, AnyFlippedBitOrCutIsRefused) {
  const Bytes block = ReadBlock(1, 1);
  ASSERT_TRUE(skin::ParseSkinBlock(block));
  for (size_t i = 0; i < block.size(); ++i)
    for (int bit = 0; bit < 8; ++bit) {
      Bytes damaged = block;
      damaged[i] ^= static_cast<uint8_t>(1 << bit);
      EXPECT_FALSE(skin::ParseSkinBlock(damaged)) << "byte " << i << " bit " << bit;
    }
  for (size_t n = 0; n < block.size(); ++n)
    EXPECT_FALSE(skin::ParseSkinBlock(std::span(block.data(), n))) << "cut at " << n;
  Bytes longer = block;
  longer.push_back(0);
  EXPECT_FALSE(skin::ParseSkinBlock(longer));
}

TEST(SkinFormatTest, BlocksWithAGoodChecksumButBadContent) {
  auto withRole = [](uint8_t role, uint8_t as) {
    auto e = AllRoles();
    e[role][0] = as;
    return e;
  };
  auto withExtra = [](std::array<uint8_t, 4> extra) {
    auto e = AllRoles();
    e.push_back(extra);
    return e;
  };
  std::vector<std::array<uint8_t, 4>> tooMany(65, {200, 0, 0, 0});
  struct Row {
    const char* what;
    Bytes block;
    bool accepted;
  } rows[] = {
      {"complete", Build(AllRoles()), true},
      {"an unknown role is skipped", Build(withExtra({77, 1, 2, 3})), true},
      {"a role missing", Build(withRole(3, 99)), false},
      {"a role twice", Build(withExtra({4, 1, 2, 3})), false},
      {"version 2", Build(AllRoles(), "t", 2), false},
      {"more colours than allowed", Build(tooMany), false},
      {"count larger than the entries", Build(AllRoles(), "t", 1, 12), false},
      {"count smaller than the entries", Build(AllRoles(), "t", 1, 10), false},
      {"empty name", Build(AllRoles(), ""), true},
  };
  for (const Row& r : rows) EXPECT_EQ(skin::ParseSkinBlock(r.block).has_value(), r.accepted) << r.what;

  const std::optional<skin::Palette> p = skin::ParseSkinBlock(Build(AllRoles(), "名称"));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "名称");
  EXPECT_EQ((*p)[Role::Accent], (Rgb{100, 101, 102}));
}

TEST(AdjustColourTest, Table) {
  struct Row {
    Rgb in;
    int hue, saturation, brightness;
    Rgb expected;
  } rows[] = {
      {{200, 100, 50}, 0, 0, 0, {200, 100, 50}},
      {{200, 100, 50}, 360, 0, 0, {200, 100, 50}},
      {{255, 0, 0}, 120, 0, 0, {0, 255, 0}},
      {{255, 0, 0}, 240, 0, 0, {0, 0, 255}},
      {{255, 0, 0}, -120, 0, 0, {0, 0, 255}},
      {{255, 0, 0}, 480, 0, 0, {0, 255, 0}},
      {{128, 128, 128}, 90, 0, 0, {128, 128, 128}},   // greys have no hue
      {{200, 100, 50}, 0, -100, 0, {125, 125, 125}},  // no saturation: the grey of equal lightness
      {{200, 100, 50}, 0, 0, 100, {255, 255, 255}},
      {{200, 100, 50}, 0, 0, -100, {0, 0, 0}},
      {{200, 100, 50}, 0, 0, -500, {0, 0, 0}},        // clamped to -100
      {{0, 0, 128}, 0, 0, 50, {64, 64, 255}},
      {{64, 128, 64}, 0, 100, 0, {0, 192, 0}},
  };
  for (const Row& r : rows) {
    const Rgb out = skin::AdjustColour(r.in, r.hue, r.saturation, r.brightness);
    EXPECT_EQ(out, r.expected) << int(r.in.r) << "," << int(r.in.g) << "," << int(r.in.b) << " h" << r.hue << " s"
                               << r.saturation << " b" << r.brightness << " -> " << int(out.r) << "," << int(out.g)
                               << "," << int(out.b);
  }
}

TEST(AdjustColourTest, HueThereAndBackKeepsTheColour) {
  const std::optional<skin::Palette> palette = skin::ParseSkinBlock(ReadBlock(1, 1));
  ASSERT_TRUE(palette);
  for (const Rgb& c : palette->colours) {
    const Rgb back = skin::AdjustColour(skin::AdjustColour(c, 100, 0, 0), -100, 0, 0);
    EXPECT_LE(std::abs(back.r - c.r) + std::abs(back.g - c.g) + std::abs(back.b - c.b), 3);
  }
  const skin::Palette shifted = skin::AdjustPalette(*palette, 120, 0, 0);
  EXPECT_NE(shifted[Role::Accent], (*palette)[Role::Accent]);
  EXPECT_EQ(shifted.name, palette->name);
}

}  // namespace

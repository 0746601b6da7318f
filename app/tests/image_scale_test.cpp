#include "app/image_scale.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Solid(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  std::vector<uint8_t> px;
  for (int i = 0; i < w * h; ++i) px.insert(px.end(), {b, g, r, 255});
  return px;
}

TEST(ScaleBgraByAreaTest, SolidColourStaysSolid) {
  auto out = ScaleBgraByArea(Solid(1148, 466, 10, 120, 240), 1148, 466, 838, 342);
  ASSERT_EQ(out.size(), 838u * 342u * 4u);
  for (size_t i = 0; i < out.size(); i += 4) {
    ASSERT_EQ(out[i], 10);
    ASSERT_EQ(out[i + 1], 120);
    ASSERT_EQ(out[i + 2], 240);
    ASSERT_EQ(out[i + 3], 255);
  }
}

TEST(ScaleBgraByAreaTest, HalvingAveragesEachBlock) {
  // 4 x 2 source: columns alternate black and white; halving gives mid grey everywhere, where
  // nearest-neighbour sampling would give all black or all white.
  std::vector<uint8_t> src;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      uint8_t v = (x % 2) ? 255 : 0;
      src.insert(src.end(), {v, v, v, 255});
    }
  auto out = ScaleBgraByArea(src, 4, 2, 2, 1);
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[4], 128);
}

TEST(ScaleBgraByAreaTest, FractionalCoverageWeighsPartialPixels) {
  // Three pixels 0, 90, 180 onto two: the first covers 0 and half of 90 -> 30; the second
  // half of 90 and 180 -> 150.
  std::vector<uint8_t> src;
  for (uint8_t v : {0, 90, 180}) src.insert(src.end(), {v, v, v, 255});
  auto out = ScaleBgraByArea(src, 3, 1, 2, 1);
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ(out[0], 30);
  EXPECT_EQ(out[4], 150);
}

TEST(ScaleBgraByAreaTest, RefusesBadSizes) {
  EXPECT_TRUE(ScaleBgraByArea({}, 0, 0, 10, 10).empty());
  EXPECT_TRUE(ScaleBgraByArea(Solid(2, 2, 0, 0, 0), 2, 2, 0, 5).empty());
  EXPECT_TRUE(ScaleBgraByArea(Solid(2, 2, 0, 0, 0), 3, 3, 1, 1).empty()) << "buffer too small";
}

}  // namespace

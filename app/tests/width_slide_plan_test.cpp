#include "app/width_slide_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A 1280-pixel work area; the window widens from 880 to 1220 and narrows back.
TEST(WidthSlidePlanTest, WideningStaysInTheWorkAreaAndNarrowingComesBack) {
  struct Row {
    const char* name;
    int left;         // where the narrow window stands
    int workLeft, workRight;
    int wideLeft;     // where the widened window ends
  } rows[] = {
      {"room enough", 30, 0, 1280, 30},
      {"just fits", 60, 0, 1280, 60},
      {"centred on a small screen", 200, 0, 1280, 60},
      {"at the right edge", 400, 0, 1280, 60},
      {"a work area that starts further right", 1500, 1280, 2560, 1340},
      {"wider than the work area", 200, 0, 1024, 0},
      // Already reaching past the edge: it keeps its right edge and grows leftwards.
      {"already past the edge", 500, 0, 1280, 160},
      {"already past the left edge", -50, 0, 1280, -50},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const WidthSlidePlan widen = PlanWidthSlide(r.left, 880, std::nullopt, r.workLeft, r.workRight);
    EXPECT_EQ(LeftForWidth(widen, 880), r.left) << "the first frame does not jump";
    EXPECT_EQ(LeftForWidth(widen, 1220), r.wideLeft);
    // Frame by frame the left edge only moves left, and until it reaches the area's left edge the
    // right edge never passes the area (nor where it already stood).
    int previous = r.left;
    for (int width = 880; width <= 1220; width += 17) {
      const int left = LeftForWidth(widen, width);
      EXPECT_LE(left, previous) << width;
      if (left > std::min(r.workLeft, r.left)) {
        EXPECT_LE(left + width, std::max(r.workRight, r.left + 880)) << width;
      }
      previous = left;
    }
    // Narrowing from where the widening left it comes back to where it stood.
    const WidthSlidePlan narrow = PlanWidthSlide(r.wideLeft, 1220, r.left, r.workLeft, r.workRight);
    EXPECT_EQ(LeftForWidth(narrow, 1220), r.wideLeft);
    EXPECT_EQ(LeftForWidth(narrow, 880), r.left);
  }
}

TEST(WidthSlidePlanTest, AWindowMovedByHandStaysWhereItWasPut) {
  // Widened at the right edge, then dragged to the middle: narrowing keeps its left edge.
  const WidthSlidePlan narrow = PlanWidthSlide(20, 1220, std::nullopt, 0, 1280);
  EXPECT_EQ(LeftForWidth(narrow, 1220), 20);
  EXPECT_EQ(LeftForWidth(narrow, 880), 20);
}

}  // namespace

// A width slide on a real animator: every frame finds the window's shadow held at the larger width,
// the slide ends with the shadow exactly around the window, and a slide refused meanwhile changes
// nothing of the running one.
#include "effects/window_slide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effects/easing.h"
#include "effects/shadow.h"
#include "tests/support/message_pump.h"

namespace {

constexpr int kShadowSize = 5;

RECT RectOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

int WidthOf(HWND hwnd) {
  const RECT r = RectOf(hwnd);
  return r.right - r.left;
}

void SetWidth(HWND window, int width) {
  const RECT r = RectOf(window);
  SetWindowPos(window, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class WindowSlideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"slide", WS_POPUP | WS_VISIBLE, 100, 120, 300, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window_);
    ASSERT_TRUE(AttachShadow(window_, RGB(0, 0, 0), kShadowSize));
  }
  void TearDown() override {
    animator_.SetInterval(0);
    if (IsWindow(window_)) DestroyWindow(window_);
  }

  HWND Shadow() const { return static_cast<HWND>(GetPropW(window_, kShadowProp)); }
  bool ShadowAround() const {
    RECT expected = RectOf(window_);
    InflateRect(&expected, kShadowSize, kShadowSize);
    const RECT shadow = RectOf(Shadow());
    return EqualRect(&expected, &shadow) != FALSE;
  }
  // Sets each frame's width and notes the shadow's width right after it.
  EaseAnimator::ProgressCallback RecordingFrames(std::vector<int>& shadowWidths) {
    return [this, &shadowWidths](double value, double) {
      SetWidth(window_, static_cast<int>(value));
      shadowWidths.push_back(WidthOf(Shadow()));
    };
  }

  HWND window_ = nullptr;
  EaseAnimator animator_;
};

TEST_F(WindowSlideTest, ShadowHeldAtTheLargerWidthThroughEachFrameThenAround) {
  const struct {
    int from, to;
  } slides[] = {{300, 520}, {520, 300}};
  for (const auto& slide : slides) {
    SetWidth(window_, slide.from);
    std::vector<int> shadowWidths;
    ASSERT_TRUE(SlideWindowWidth(animator_, window_, slide.to, kEaseCubicOut, RecordingFrames(shadowWidths), 10, 60));
    ASSERT_TRUE(PumpUntil([&] { return animator_.GetInterval() == 0; }, 30000));
    EXPECT_EQ(WidthOf(window_), slide.to);
    ASSERT_EQ(shadowWidths.size(), 6u) << slide.from << " to " << slide.to;
    for (size_t i = 0; i < shadowWidths.size(); ++i)
      EXPECT_EQ(shadowWidths[i], std::max(slide.from, slide.to) + 2 * kShadowSize)
          << slide.from << " to " << slide.to << ", frame " << i;
    EXPECT_TRUE(ShadowAround()) << slide.from << " to " << slide.to;
  }
}

TEST_F(WindowSlideTest, ASlideRefusedWhileOneRunsLeavesItsHoldAlone) {
  std::vector<int> shadowWidths, refusedFrames;
  ASSERT_TRUE(SlideWindowWidth(animator_, window_, 500, kEaseCubicOut, RecordingFrames(shadowWidths), 10, 60));
  ASSERT_TRUE(PumpUntil([&] { return !shadowWidths.empty(); }));
  EXPECT_FALSE(SlideWindowWidth(animator_, window_, 900, kEaseCubicOut, RecordingFrames(refusedFrames), 10, 60));
  ASSERT_TRUE(PumpUntil([&] { return animator_.GetInterval() == 0; }, 30000));
  EXPECT_TRUE(refusedFrames.empty());
  EXPECT_EQ(WidthOf(window_), 500);
  for (int width : shadowWidths) EXPECT_EQ(width, 500 + 2 * kShadowSize);
  EXPECT_TRUE(ShadowAround());
}

}  // namespace

#include "effects/shadow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

int g_ownProcCalls = 0;
constexpr UINT kPing = WM_APP + 7;

LRESULT CALLBACK OwnProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kPing) return ++g_ownProcCalls;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

WNDPROC g_laterOld = nullptr;
LRESULT CALLBACK LaterSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return CallWindowProcW(g_laterOld, hwnd, msg, wp, lp);
}

class ShadowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = OwnProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"PtShadowTestWindow";
      wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
      return RegisterClassW(&wc);
    }();
    ASSERT_NE(atom, 0);
    window = CreateWindowExW(0, L"PtShadowTestWindow", L"shadow", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 120, 300,
                             200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    StartGdiPlus();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
  }

  HWND Shadow() const { return static_cast<HWND>(GetPropW(window, kShadowProp)); }
  RECT Inflated(int s) const {
    RECT rc;
    GetWindowRect(window, &rc);
    InflateRect(&rc, s, s);
    return rc;
  }
  static RECT RectOf(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
  }

  HWND window = nullptr;
};

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
}
#define EXPECT_RECT_EQ(a, b) EXPECT_EQ(Describe(a), Describe(b))

// Ring i (1 = outermost) has alpha step * i; everything inside the band is transparent.
TEST_F(ShadowTest, RingAlphasFromTheOutsideIn) {
  struct Row {
    int size, step;
  } rows[] = {{5, 20}, {10, 15}, {1, 100}, {8, 12}, {9, 16}};
  const int w = 300, h = 200;
  for (const Row& r : rows) {
    const int bw = w + 2 * r.size, bh = h + 2 * r.size;
    const ShadowBitmap bitmap = DrawShadowBitmap(nullptr, bw, bh, r.size, RGB(0, 0, 0));
    ASSERT_TRUE(bitmap.pixels) << r.size;
    for (int i = 1; i <= r.size; ++i) {
      const int expected = r.step * i;
      const std::string at = "size " + std::to_string(r.size) + " ring " + std::to_string(i);
      EXPECT_EQ(bitmap.Alpha(i - 1, bh / 2), expected) << at << " left";
      EXPECT_EQ(bitmap.Alpha(bw - i, bh / 2), expected) << at << " right";
      EXPECT_EQ(bitmap.Alpha(bw / 2, i - 1), expected) << at << " top";
      EXPECT_EQ(bitmap.Alpha(bw / 2, bh - i), expected) << at << " bottom";
      EXPECT_EQ(bitmap.pixels[(bh / 2) * bw + i - 1] & 0xFFFFFF, 0u) << at << ": black stays black";
    }
    for (auto [x, y] : {std::pair{r.size, r.size}, {bw / 2, bh / 2}, {bw - r.size - 1, bh - r.size - 1}})
      EXPECT_EQ(bitmap.Alpha(x, y), 0) << "size " << r.size << " inside at " << x << "," << y;
  }
}

TEST_F(ShadowTest, ColourIsPremultipliedByTheRingAlpha) {
  const ShadowBitmap bitmap = DrawShadowBitmap(nullptr, 110, 90, 5, RGB(255, 0, 0));
  ASSERT_TRUE(bitmap.pixels);
  const uint32_t outer = bitmap.pixels[45 * 110 + 0];  // left edge, ring 1
  EXPECT_EQ(outer >> 24, 20u);
  EXPECT_NEAR(static_cast<int>((outer >> 16) & 0xFF), 20, 1) << "red, premultiplied";
  EXPECT_EQ(outer & 0xFFFF, 0u);
}

TEST_F(ShadowTest, SizeTwoHundredDrawsNothing) {
  const ShadowBitmap bitmap = DrawShadowBitmap(nullptr, 700, 600, 200, RGB(0, 0, 0));
  ASSERT_TRUE(bitmap.pixels);
  size_t visible = 0;
  for (int i = 0; i < 700 * 600; ++i) visible += bitmap.pixels[i] != 0;
  EXPECT_EQ(visible, 0u);
}

// The shadow is put together from a small painted pattern; every pixel must equal the rings
// painted with GDI+ over the whole bitmap, at the pattern's own size, just above it, and at the
// sizes the window takes.
TEST_F(ShadowTest, DrawnShadowEqualsTheRingsPaintedOverTheWhole) {
  struct Row {
    int width, height, size;
    COLORREF colour;
  } rows[] = {
      {890, 710, 5, RGB(0, 0, 0)},     {1230, 710, 5, RGB(0, 0, 0)},   {1057, 710, 5, RGB(0, 0, 0)},
      {15, 15, 5, RGB(0, 0, 0)},       {16, 17, 5, RGB(0, 0, 0)},      {14, 40, 5, RGB(0, 0, 0)},
      {310, 210, 3, RGB(90, 90, 90)},  {311, 211, 1, RGB(255, 0, 0)},  {320, 220, 8, RGB(12, 200, 99)},
      {330, 230, 9, RGB(0, 0, 255)},   {340, 240, 10, RGB(0, 0, 0)},   {200, 120, 37, RGB(255, 255, 255)},
      {700, 600, 200, RGB(0, 0, 0)},
  };
  for (const Row& r : rows) {
    const std::string at = std::to_string(r.width) + "x" + std::to_string(r.height) + " size " + std::to_string(r.size);
    const ShadowBitmap drawn = DrawShadowBitmap(nullptr, r.width, r.height, r.size, r.colour);
    const ShadowBitmap painted = PaintShadowBitmap(nullptr, r.width, r.height, r.size, r.colour);
    ASSERT_TRUE(drawn.pixels && painted.pixels) << at;
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x)
        if (drawn.pixels[y * r.width + x] != painted.pixels[y * r.width + x] && differing++ == 0) {
          firstX = x;
          firstY = r.height - 1 - y;
        }
    EXPECT_EQ(differing, 0) << at << ", first at " << firstX << "," << firstY;
  }
}

// A band drawn into a wider bitmap is the window's own shadow followed by transparent columns, and
// redrawing just the columns between two widths' right-hand edges gives the other width's band.
TEST_F(ShadowTest, BandsInAWiderBitmapAndTheirChangedColumns) {
  const struct Row {
    int width, height, size, from, to;
    COLORREF colour;
  } rows[] = {{200, 60, 5, 120, 200, RGB(0, 0, 0)},   {200, 60, 5, 200, 120, RGB(0, 0, 0)},
              {200, 60, 5, 150, 151, RGB(0, 0, 0)},   {180, 50, 3, 160, 17, RGB(10, 200, 30)},
              {90, 40, 9, 23, 90, RGB(255, 0, 0)},    {300, 80, 5, 299, 300, RGB(0, 0, 0)}};
  for (const Row& r : rows) {
    const std::string at = std::to_string(r.width) + " wide, " + std::to_string(r.from) + " to " + std::to_string(r.to);
    ShadowBitmap bitmap = DrawShadowBand(nullptr, r.width, r.height, r.from, r.size, r.colour);
    ASSERT_TRUE(bitmap.bitmap) << at;
    const int margin = r.size + 2;
    ASSERT_TRUE(RedrawShadowColumns(bitmap, r.to, std::min(r.from, r.to) - margin, std::max(r.from, r.to), r.size,
                                    r.colour))
        << at;
    const ShadowBitmap own = DrawShadowBitmap(nullptr, r.to, r.height, r.size, r.colour);
    int differing = 0;
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) {
        const uint32_t expected = x < r.to ? own.pixels[(r.height - 1 - y) * r.to + x] : 0;
        differing += bitmap.pixels[(r.height - 1 - y) * r.width + x] != expected;
      }
    EXPECT_EQ(differing, 0) << at;
  }
  ShadowBitmap bitmap = DrawShadowBand(nullptr, 100, 40, 100, 5, RGB(0, 0, 0));
  EXPECT_FALSE(RedrawShadowColumns(bitmap, 101, 90, 101, 5, RGB(0, 0, 0))) << "wider than the bitmap";
  EXPECT_FALSE(RedrawShadowColumns(bitmap, 14, 0, 100, 5, RGB(0, 0, 0))) << "narrower than the pattern";
  EXPECT_FALSE(DrawShadowBand(nullptr, 100, 40, 101, 5, RGB(0, 0, 0)).bitmap);
}

TEST_F(ShadowTest, ShadowSurroundsTheWindowAndFollowsIt) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  ASSERT_TRUE(IsWindow(shadow));
  EXPECT_TRUE(IsWindowVisible(shadow));
  EXPECT_EQ(GetWindow(shadow, GW_OWNER), window);
  EXPECT_EQ(GetWindowLongW(shadow, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp)), 5);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)), 0u);
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
  EXPECT_EQ(GetForegroundWindow() == shadow, false) << "the shadow never takes activation";

  SetWindowPos(window, nullptr, 250, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
  SetWindowPos(window, nullptr, 0, 0, 420, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
}

// Moving the window only moves its shadow; a size change gives it a bitmap of the new size; and
// after a hide and show it is pushed again in place.
TEST_F(ShadowTest, MovesKeepTheShadowsSizeAndResizesFollow) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  const struct Step {
    int x, y, width, height;
  } steps[] = {{140, 150, 0, 0}, {141, 150, 0, 0}, {0, 0, 333, 222}, {60, 70, 333, 223}, {60, 70, 0, 0}};
  for (const Step& s : steps) {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (s.width == 0) flags |= SWP_NOSIZE;
    if (s.x == 0) flags |= SWP_NOMOVE;
    SetWindowPos(window, nullptr, s.x, s.y, s.width, s.height, flags);
    EXPECT_RECT_EQ(RectOf(shadow), Inflated(5)) << s.x << "," << s.y << " " << s.width << "x" << s.height;
  }
  ShowWindow(window, SW_HIDE);
  SetWindowPos(window, nullptr, 90, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(shadow));
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
}

// Held at a width, the shadow keeps at least that width while the window steps toward or away
// from it, and lies exactly around the window again once released.
TEST_F(ShadowTest, HeldWidthThroughASlideThenExactlyAroundOnRelease) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  const struct Slide {
    int from, to;
  } slides[] = {{300, 520}, {520, 300}};
  for (const Slide& slide : slides) {
    SetWindowPos(window, nullptr, 0, 0, slide.from, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int held = std::max(slide.from, slide.to);
    HoldShadowWidth(window, held);
    for (int step = 1; step <= 4; ++step) {
      const int width = slide.from + (slide.to - slide.from) * step / 4;
      SetWindowPos(window, nullptr, 0, 0, width, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      RECT expected = Inflated(5);
      expected.right = expected.left + held + 10;
      EXPECT_RECT_EQ(RectOf(shadow), expected) << slide.from << " to " << slide.to << " at " << width;
    }
    ReleaseShadowWidth(window);
    EXPECT_RECT_EQ(RectOf(shadow), Inflated(5)) << slide.from << " to " << slide.to << " released";
  }
  // A move while held keeps it around the window; releasing twice changes nothing.
  HoldShadowWidth(window, 600);
  SetWindowPos(window, nullptr, 0, 0, 320, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(window, nullptr, 150, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(RectOf(shadow).left, Inflated(5).left);
  ReleaseShadowWidth(window);
  ReleaseShadowWidth(window);
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
}

TEST_F(ShadowTest, HiddenWhenMinimisedMaximisedOrHidden) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  const RECT placed = Inflated(5);
  struct Step {
    int show;
    bool shadowVisible;
  } steps[] = {{SW_MINIMIZE, false}, {SW_RESTORE, true}, {SW_MAXIMIZE, false}, {SW_RESTORE, true},
               {SW_HIDE, false},     {SW_SHOW, true}};
  for (const Step& s : steps) {
    ShowWindow(window, s.show);
    EXPECT_EQ(IsWindowVisible(shadow) != FALSE, s.shadowVisible) << "after ShowWindow " << s.show;
    if (s.shadowVisible) {
      EXPECT_RECT_EQ(RectOf(shadow), placed) << "after ShowWindow " << s.show;
    }
  }
}

TEST_F(ShadowTest, AttachingTwiceSubclassesOnceAndUpdates) {
  const LONG_PTR own = GetWindowLongPtrW(window, GWLP_WNDPROC);
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ShadowWindowProc));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(window, kShadowProcProp)), own);

  ASSERT_TRUE(AttachShadow(window, RGB(255, 0, 0), 8));
  EXPECT_EQ(Shadow(), shadow);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(window, kShadowProcProp)), own) << "not subclassed twice";
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp)), 8);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)), static_cast<UINT_PTR>(RGB(255, 0, 0)));
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(8));
  // Messages still reach the window's own procedure exactly once.
  g_ownProcCalls = 0;
  EXPECT_EQ(SendMessageW(window, kPing, 0, 0), 1);
  EXPECT_EQ(g_ownProcCalls, 1);
}

TEST_F(ShadowTest, SizeLeftOutIsFive) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0)));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(Shadow(), kShadowSizeProp)), 5);
  EXPECT_RECT_EQ(RectOf(Shadow()), Inflated(5));
}

TEST_F(ShadowTest, DetachingRestoresTheProcedureAndDestroysTheShadow) {
  const LONG_PTR own = GetWindowLongPtrW(window, GWLP_WNDPROC);
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  EXPECT_FALSE(AttachShadow(window, RGB(0, 0, 0), 0));
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), own);
  EXPECT_FALSE(IsWindow(shadow));
  EXPECT_EQ(GetPropW(window, kShadowProp), nullptr);
  EXPECT_EQ(GetPropW(window, kShadowProcProp), nullptr);
  // Moving afterwards touches nothing.
  SetWindowPos(window, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // And it can be attached again.
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 3));
  EXPECT_RECT_EQ(RectOf(Shadow()), Inflated(3));
}

// A subclass put on top after the shadow's must not be cut out of the chain by a detach.
TEST_F(ShadowTest, DetachingUnderALaterSubclassKeepsTheChain) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  g_laterOld = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));
  EXPECT_FALSE(AttachShadow(window, RGB(0, 0, 0), -1));
  EXPECT_FALSE(IsWindow(shadow));
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LaterSubclass));
  g_ownProcCalls = 0;
  EXPECT_EQ(SendMessageW(window, kPing, 0, 0), 1);
  SetWindowPos(window, nullptr, 30, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(GetPropW(window, kShadowProp), nullptr);
}

TEST_F(ShadowTest, NotAWindow) {
  HWND gone = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_FALSE(AttachShadow(gone, RGB(0, 0, 0), 5));
  EXPECT_FALSE(AttachShadow(nullptr, RGB(0, 0, 0), 5));
}

TEST_F(ShadowTest, AHiddenWindowGetsAHiddenShadowThatAppearsWithIt) {
  ShowWindow(window, SW_HIDE);
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  EXPECT_FALSE(IsWindowVisible(shadow));
  ShowWindow(window, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(shadow));
  EXPECT_RECT_EQ(RectOf(shadow), Inflated(5));
}

TEST_F(ShadowTest, DestroyingTheWindowTakesTheShadowAlong) {
  ASSERT_TRUE(AttachShadow(window, RGB(0, 0, 0), 5));
  HWND shadow = Shadow();
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(shadow));
}

TEST(GdiPlusTest, StartsOnce) {
  StartGdiPlus();
  EXPECT_TRUE(GdiPlusStarted());
  StartGdiPlus();
  EXPECT_TRUE(GdiPlusStarted());
}

}  // namespace

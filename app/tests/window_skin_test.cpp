// The real main window as start-up makes it: the skin engine mapped first, then the window, whose
// created handler applies skin 1 of the first set and a 5-pixel black shadow.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "effects/shadow.h"
#include "effects/skin.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"
#include "skin_engine/skin_data.h"
#include "skin_engine/skin_format.h"
#include "tests/support/message_pump.h"

namespace {

using skin::Role;

std::string Hex(COLORREF c) {
  char text[16];
  snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}
std::string Hex(skin::Rgb c) { return Hex(RGB(c.r, c.g, c.b)); }

COLORREF PixelAt(HWND hwnd, int x, int y) {
  HDC dc = GetDC(hwnd);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return c;
}

class WindowSkinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ConstructGlobalObjects(); }
  static void TearDownTestSuite() { ReleaseGlobalObjects(); }

  void SetUp() override {
    StartGdiPlusAtStartup();
    LoadSkinEngineAtStartup();
    ASSERT_NE(SkinModule.FindExport("SkinH_AttachRes"), nullptr);
    WindowConfig config;
    config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
    window = main_->handle();
    PumpFor(50);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  void TearDown() override {
    main_.reset();
    PumpFor(20);
  }
  HWND ControlHandle(Control c) const { return main_->control(c); }
  std::unique_ptr<MainWindow> main_;
  HWND window = nullptr;
};

TEST_F(WindowSkinTest, TheCreatedWindowHasAFivePixelBlackShadow) {
  HWND shadow = static_cast<HWND>(GetPropW(window, kShadowProp));
  ASSERT_TRUE(IsWindow(shadow));
  EXPECT_TRUE(GdiPlusStarted());
  EXPECT_TRUE(IsWindowVisible(shadow));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp)), 5);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)), 0u);
  RECT expected, actual;
  GetWindowRect(window, &expected);
  InflateRect(&expected, 5, 5);
  GetWindowRect(shadow, &actual);
  EXPECT_TRUE(EqualRect(&expected, &actual));
  // Minimised with the window and back with it.
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_FALSE(IsWindowVisible(shadow));
  ShowWindow(window, SW_RESTORE);
  EXPECT_TRUE(IsWindowVisible(shadow));
}

TEST_F(WindowSkinTest, TheWindowWearsSkinOneOfTheFirstSet) {
  const std::optional<skin::Palette> palette = skin::ParseSkinBlock(SkinBlock(1, 1));
  ASSERT_TRUE(palette);
  const skin::Palette& p = *palette;
  HWND list = ControlHandle(Control::images_列表框);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT headerRect{};
  GetClientRect(header, &headerRect);

  // Between the left and right group boxes lies the window's own background.
  EXPECT_EQ(Hex(PixelAt(window, 380, 100)), Hex(p[Role::WindowBackground]));
  EXPECT_EQ(Hex(PixelAt(ControlHandle(Control::分组框3), 473, 120)), Hex(p[Role::GroupBackground]));
  EXPECT_EQ(Hex(PixelAt(ControlHandle(Control::淘宝_按钮), 6, 16)), Hex(p[Role::ButtonFace]));
  EXPECT_EQ(Hex(PixelAt(ControlHandle(Control::url), 380, 10)), Hex(p[Role::EditBackground]));
  EXPECT_EQ(Hex(PixelAt(header, 440, headerRect.bottom / 2)), Hex(p[Role::HeaderBackground]));
  EXPECT_EQ(Hex(PixelAt(list, 200, 300)), Hex(p[Role::EditBackground]));
  // The cookie box keeps its own green on black.
  EXPECT_EQ(Hex(PixelAt(ControlHandle(Control::cookie值), 200, 100)), "#000000");
}

// Messages to one window, counted as they are handed to its procedure.
HWND g_countedWindow = nullptr;
int g_countedMessages = 0;
LRESULT CALLBACK CountMessages(int code, WPARAM wp, LPARAM lp) noexcept {
  if (code == HC_ACTION && reinterpret_cast<const CWPSTRUCT*>(lp)->hwnd == g_countedWindow) ++g_countedMessages;
  return CallNextHookEx(nullptr, code, wp, lp);
}

// How many messages the main window is handed while the list takes `rows` rows, its repainting
// held as a harvest holds it.
int MessagesToTheWindowWhileFilling(MainWindow& main, size_t rows) {
  HWND list = main.control(Control::images_列表框);
  g_countedWindow = main.handle();
  g_countedMessages = 0;
  UniqueHook hook(SetWindowsHookExW(WH_CALLWNDPROC, CountMessages, nullptr, GetCurrentThreadId()));
  EXPECT_TRUE(hook);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  main.PublishPictures(TextList(rows, "https://a/1.jpg"), "淘宝主图图片");
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  return g_countedMessages;
}

// The list's container keeps the list's notifications to itself: the main window (and its drop
// shadow's procedure) is handed nothing per row.
TEST_F(WindowSkinTest, FillingTheListHandsTheMainWindowNothingPerRow) {
  const int few = MessagesToTheWindowWhileFilling(*main_, 10);
  EXPECT_EQ(MessagesToTheWindowWhileFilling(*main_, 300), few);
}

// Wine's theming keeps a themed control's theme in a property of its own.
BOOL CALLBACK CountProperty(HWND, LPWSTR name, HANDLE, ULONG_PTR count) noexcept {
  const bool named = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
  if (!named || wcscmp(name, L"ux_theme") != 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// The skin and the window find their state for a message without a window property, whose every
// look-up is a round trip to the server under Wine: the controls carry none of theirs. (The status
// line is left out: its tooltip watches it through a subclass of its own.)
TEST_F(WindowSkinTest, TheControlsCarryNoWindowProperty) {
  HWND list = ControlHandle(Control::images_列表框);
  std::vector<std::pair<std::string, HWND>> windows = {
      {"header", reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0))}};
  for (int c = 0; c < static_cast<int>(Control::Count); ++c)
    if (c != static_cast<int>(Control::岚栩_tim) && c != static_cast<int>(Control::精易Web浏览器1))
      windows.push_back({"control " + std::to_string(c), ControlHandle(static_cast<Control>(c))});
  for (const auto& [name, hwnd] : windows) {
    ASSERT_TRUE(IsWindow(hwnd)) << name;
    int properties = 0;
    EnumPropsExW(hwnd, CountProperty, reinterpret_cast<LPARAM>(&properties));
    EXPECT_EQ(properties, 0) << name;
  }
}

TEST_F(WindowSkinTest, ButtonsStillRunTheirCommands) {
  // The help button slides the help panel up: clicking an engine-drawn button still reaches it.
  HWND help = ControlHandle(Control::帮助分组);
  RECT before;
  GetWindowRect(help, &before);
  SendMessageW(ControlHandle(Control::帮助), BM_CLICK, 0, 0);
  PumpFor(1500);
  RECT after;
  GetWindowRect(help, &after);
  EXPECT_LT(after.top, before.top);
}

}  // namespace

namespace {

// The pixels of `control` with its frame, read back from the window's surface.
std::vector<COLORREF> FramePixels(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  HDC dc = GetWindowDC(control);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < r.bottom - r.top; ++y)
    for (int x = 0; x < r.right - r.left; ++x) pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(control, dc);
  return pixels;
}

// A strip of an edit box uncovered again (as a widening window uncovers it) is painted as the whole
// box is: its flat edge, and its scroll bar when the strip reaches it.
TEST_F(WindowSkinTest, AStripOfAnEditBoxRepaintsAsTheWholeBox) {
  SetWindowPos(window, nullptr, 0, 0, 1220, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(20);
  HWND edit = ControlHandle(Control::文本数据);
  const std::vector<COLORREF> whole = FramePixels(edit);
  RECT r{};
  GetWindowRect(edit, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const struct Strip {
    const char* what;
    int left, right;  // in the box's frame coordinates
  } strips[] = {{"left edge", 0, 12}, {"middle", 100, 140}, {"scroll bar", width - 30, width}};
  for (const Strip& s : strips) {
    {
      HDC dc = GetWindowDC(edit);
      RECT all{0, 0, width, height};
      HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
      FillRect(dc, &all, magenta);
      DeleteObject(magenta);
      ReleaseDC(edit, dc);
    }
    // The region in client coordinates, the frame's edge lying two pixels outside.
    HRGN strip = CreateRectRgn(s.left - 2, -2, s.right - 2, height - 2);
    RedrawWindow(edit, nullptr, strip, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    DeleteObject(strip);
    const std::vector<COLORREF> again = FramePixels(edit);
    int differing = 0;
    for (int y = 0; y < height; ++y)
      for (int x = s.left; x < s.right; ++x) differing += again[y * width + x] != whole[y * width + x];
    EXPECT_EQ(differing, 0) << s.what;
  }
}

}  // namespace

#include "effects/skin.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "effects/shadow.h"
#include "skin_engine/skin_data.h"
#include "skin_engine/skin_format.h"

namespace {

using skin::Role;

skin::Palette PaletteOf(int set, int number) {
  std::optional<skin::Palette> palette = skin::ParseSkinBlock(SkinBlock(set, number));
  EXPECT_TRUE(palette) << set << "/" << number;
  return palette.value_or(skin::Palette{});
}

COLORREF Ref(skin::Rgb c) { return RGB(c.r, c.g, c.b); }

std::string Hex(COLORREF c) {
  char text[16];
  snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// What the window shows at a client point of `hwnd`, read back from its DC.
COLORREF PixelAt(HWND hwnd, int x, int y) {
  HDC dc = GetDC(hwnd);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(hwnd, dc);
  return c;
}

void Repaint(HWND top) {
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

int g_clicks = 0;
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) ++g_clicks;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// A small window laid out like the program's: a button and a group box holding a label and an
// edit box, and a report list view.
class SkinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PtSkinTestWindow";
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    engineLoaded = LoadSkinEngine();
  }

  void SetUp() override {
    window = CreateWindowExW(0, L"PtSkinTestWindow", L"skin", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 520, 400,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    button = Child(L"Button", L"按钮", BS_PUSHBUTTON, window, 10, 10, 120, 32);
    group = Child(L"Button", L" 分组 ", BS_GROUPBOX, window, 10, 60, 240, 160);
    label = Child(L"Static", L"标签", SS_LEFT, group, 10, 24, 60, 20);
    edit = Child(L"Edit", L"", ES_AUTOHSCROLL, group, 10, 60, 200, 24, WS_EX_CLIENTEDGE);
    list = Child(WC_LISTVIEWW, L"", LVS_REPORT, window, 270, 60, 220, 160, WS_EX_CLIENTEDGE);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 150;
    column.pszText = const_cast<wchar_t*>(L"序号");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    Repaint(window);
  }
  void TearDown() override { DestroyWindow(window); }

  static HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, HWND parent, int x, int y, int w, int h,
                    DWORD exStyle = 0) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hwnd;
  }

  // The colours of the main surfaces, sampled where no text or frame lies.
  struct Look {
    COLORREF window, buttonFace, groupInside, edit, header, list;
  };
  Look Sample() {
    Repaint(window);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT headerRect{};
    GetClientRect(header, &headerRect);
    return {PixelAt(window, 500, 370),        PixelAt(button, 6, 16),  PixelAt(group, 200, 140),
            PixelAt(edit, 190, 10),           PixelAt(header, 200, headerRect.bottom / 2),
            PixelAt(list, 150, 120)};
  }
  static void ExpectLook(const Look& look, const skin::Palette& p, const char* what) {
    EXPECT_EQ(Hex(look.window), Hex(Ref(p[Role::WindowBackground]))) << what << ": window";
    EXPECT_EQ(Hex(look.buttonFace), Hex(Ref(p[Role::ButtonFace]))) << what << ": button";
    EXPECT_EQ(Hex(look.groupInside), Hex(Ref(p[Role::GroupBackground]))) << what << ": group box";
    EXPECT_EQ(Hex(look.edit), Hex(Ref(p[Role::EditBackground]))) << what << ": edit";
    EXPECT_EQ(Hex(look.header), Hex(Ref(p[Role::HeaderBackground]))) << what << ": list header";
    EXPECT_EQ(Hex(look.list), Hex(Ref(p[Role::EditBackground]))) << what << ": list";
  }

  static inline bool engineLoaded = false;
  HWND window = nullptr, button = nullptr, group = nullptr, label = nullptr, edit = nullptr, list = nullptr;
};

// Runs first: the GDI+ start-up is process-wide and only a shadowed skin may cause it.
TEST_F(SkinTest, WithoutAShadowNothingOfTheShadowIsTouched) {
  ASSERT_TRUE(engineLoaded);
  ASSERT_NE(SkinModule.FindExport("SkinH_AttachRes"), nullptr);
  EXPECT_EQ(ApplySkin(1, window, 0, 1), 1);
  EXPECT_EQ(GetPropW(window, kShadowProp), nullptr);
  EXPECT_FALSE(GdiPlusStarted());
}

TEST_F(SkinTest, WindowsShowTheSkinsColours) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  ExpectLook(Sample(), PaletteOf(1, 1), "set 1 skin 1");
  // The group box caption is drawn in the accent colour: its strongest pixel (text may be
  // smoothed) is nearer the accent than the plain text colour.
  const skin::Palette p = PaletteOf(1, 1);
  auto distance = [](COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) + std::abs(GetBValue(a) - GetBValue(b));
  };
  COLORREF strongest = Ref(p[Role::GroupBackground]);
  for (int x = 8; x < 80; ++x)
    for (int y = 0; y < 14; ++y) {
      const COLORREF c = PixelAt(group, x, y);
      if (distance(c, Ref(p[Role::GroupBackground])) > distance(strongest, Ref(p[Role::GroupBackground]))) strongest = c;
    }
  EXPECT_LT(distance(strongest, Ref(p[Role::Accent])), distance(strongest, Ref(p[Role::Text]))) << Hex(strongest);
}

TEST_F(SkinTest, AHueChangeShiftsEveryColour) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  const Look before = Sample();
  ASSERT_EQ(ApplySkin(1, window, 0, 1, 3, RGB(90, 90, 90), 120), 1);
  const Look after = Sample();
  ExpectLook(after, skin::AdjustPalette(PaletteOf(1, 1), 120, 0, 0), "hue +120");
  EXPECT_NE(before.buttonFace, after.buttonFace);
  EXPECT_NE(before.header, after.header);
  ASSERT_EQ(ApplySkin(1, window, 0, 1, 3, RGB(90, 90, 90), 0, 0, -100), 1);
  EXPECT_EQ(Hex(Sample().window), "#000000") << "brightness -100 is black";
}

TEST_F(SkinTest, ChoosesTheSetAndKeepsTheSkinForAnUnknownNumber) {
  ASSERT_EQ(ApplySkin(2, window, 0), 1);  // set left out: set 2
  ExpectLook(Sample(), PaletteOf(2, 2), "set 2 skin 2");
  ASSERT_EQ(ApplySkin(3, window, 0, 7), 1);  // any set but 1 is set 2
  ExpectLook(Sample(), PaletteOf(2, 3), "set 2 skin 3");
  ASSERT_EQ(ApplySkin(9, window, 0, 1), 1);
  ExpectLook(Sample(), PaletteOf(2, 3), "skin 9 keeps the last");
  ASSERT_EQ(ApplySkin(0, window, 0, 1), 1);
  ExpectLook(Sample(), PaletteOf(2, 3), "skin 0 keeps the last");
  ASSERT_EQ(ApplySkin(8, window, 0, 1), 1);
  ExpectLook(Sample(), PaletteOf(1, 8), "set 1 skin 8");
}

TEST_F(SkinTest, WindowsCreatedLaterAreSkinnedToo) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  HWND late = Child(L"Button", L"后来", BS_PUSHBUTTON, group, 10, 100, 100, 30);
  Repaint(window);
  EXPECT_EQ(Hex(PixelAt(late, 6, 15)), Hex(Ref(PaletteOf(1, 1)[Role::ButtonFace])));
  // A whole new top-level window as well.
  HWND other = CreateWindowExW(0, L"PtSkinTestWindow", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 40, 200, 150,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  Repaint(other);
  EXPECT_EQ(Hex(PixelAt(other, 100, 60)), Hex(Ref(PaletteOf(1, 1)[Role::WindowBackground])));
  DestroyWindow(other);
}

TEST_F(SkinTest, ButtonStates) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  const skin::Palette p = PaletteOf(1, 1);
  SendMessageW(button, BM_SETSTATE, TRUE, 0);
  UpdateWindow(button);
  EXPECT_EQ(Hex(PixelAt(button, 6, 16)), Hex(Ref(p[Role::ButtonPressed]))) << "pressed";
  SendMessageW(button, BM_SETSTATE, FALSE, 0);
  UpdateWindow(button);
  EXPECT_EQ(Hex(PixelAt(button, 6, 16)), Hex(Ref(p[Role::ButtonFace]))) << "released";
  // The pointer over the button makes it hot.
  POINT centre{60, 16};
  ClientToScreen(button, &centre);
  SetCursorPos(centre.x, centre.y);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(60, 16));
  UpdateWindow(button);
  EXPECT_EQ(Hex(PixelAt(button, 6, 16)), Hex(Ref(p[Role::ButtonHot]))) << "hot";
  SendMessageW(button, WM_MOUSELEAVE, 0, 0);
  UpdateWindow(button);
  EXPECT_EQ(Hex(PixelAt(button, 6, 16)), Hex(Ref(p[Role::ButtonFace]))) << "left";
  // Drawn by the engine, it still clicks.
  g_clicks = 0;
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(g_clicks, 1);
}

TEST_F(SkinTest, ColoursTheProgramChoseItselfStay) {
  // A parent that gives its edit box green on black, as the main window does for the cookie box.
  static HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  static WNDPROC frameOld = nullptr;
  frameOld = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_CTLCOLOREDIT) {
          SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 128, 0));
          SetBkColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
          return reinterpret_cast<LRESULT>(black);
        }
        return CallWindowProcW(frameOld, hwnd, msg, wp, lp);
      })));
  HWND cookie = Child(L"Edit", L"", ES_MULTILINE, window, 10, 240, 200, 80);
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  Repaint(window);
  EXPECT_EQ(Hex(PixelAt(cookie, 150, 60)), "#000000");
  EXPECT_EQ(Hex(PixelAt(edit, 190, 10)), Hex(Ref(PaletteOf(1, 1)[Role::EditBackground])));
}

TEST_F(SkinTest, TheProgramsCallGivesAFivePixelBlackShadow) {
  ASSERT_EQ(ApplySkin(1, window, 1, 1, 5, 0), 1);
  EXPECT_TRUE(GdiPlusStarted());
  HWND shadow = static_cast<HWND>(GetPropW(window, kShadowProp));
  ASSERT_TRUE(IsWindow(shadow));
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp)), 5);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)), 0u);
  ExpectLook(Sample(), PaletteOf(1, 1), "the program's skin");
  // Defaults: a 3-pixel grey shadow.
  ASSERT_EQ(ApplySkin(1, window, 1, 1), 1);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp)), 3);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)), static_cast<UINT_PTR>(RGB(90, 90, 90)));
}

TEST_F(SkinTest, ABrokenBlockIsRefusedAndTheSkinStays) {
  ASSERT_EQ(ApplySkin(4, window, 0, 1), 1);
  using AttachRes = int(WINAPI*)(const unsigned char*, int, const char*, int, int, int);
  const auto attach = reinterpret_cast<AttachRes>(reinterpret_cast<void (*)()>(SkinModule.FindExport("SkinH_AttachRes")));
  ASSERT_TRUE(attach);
  std::span<const uint8_t> good = SkinBlock(1, 2);
  std::vector<uint8_t> broken(good.begin(), good.end());
  broken[20] ^= 0x40;
  EXPECT_EQ(attach(broken.data(), static_cast<int>(broken.size()), nullptr, 0, 0, 0), 0);
  EXPECT_EQ(attach(good.data(), 10, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(attach(nullptr, 100, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(attach(good.data(), -1, nullptr, 0, 0, 0), 0);
  ExpectLook(Sample(), PaletteOf(1, 4), "still set 1 skin 4");
}

TEST_F(SkinTest, PaintingLeaksNoGdiObjects) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  Repaint(window);
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (before == 0) GTEST_SKIP() << "this system does not count GDI objects";
  for (int i = 0; i < 50; ++i) Repaint(window);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

// Last: with the buffer freed there is nothing to hand to the engine until a skin is chosen.
TEST_F(SkinTest, ReleasedBufferMeansNoSkinUntilOneIsChosen) {
  ReleaseSkin();
  EXPECT_EQ(ApplySkin(9, window, 0, 1), 0);
  EXPECT_EQ(ApplySkin(1, window, 0, 1), 1);
}

// Unloading the engine gives the windows back their own look; without an engine the skin is
// skipped quietly while the shadow is still applied.
TEST_F(SkinTest, WithoutTheEngineTheSkinIsSkipped) {
  ASSERT_EQ(ApplySkin(1, window, 0, 1), 1);
  EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  ASSERT_TRUE(SkinModule.Unload());
  EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  Repaint(window);
  EXPECT_EQ(Hex(PixelAt(window, 500, 370)), Hex(GetSysColor(COLOR_BTNFACE))) << "the class background again";
  EXPECT_EQ(ApplySkin(1, window, 1, 1, 5, 0), 0);
  EXPECT_TRUE(IsWindow(static_cast<HWND>(GetPropW(window, kShadowProp))));
  engineLoaded = LoadSkinEngine();
  EXPECT_TRUE(engineLoaded);
  EXPECT_EQ(ApplySkin(1, window, 0, 1), 1);
}

}  // namespace

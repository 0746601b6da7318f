#include "effects/shadow.h"

#include <algorithm>
#include <cstdint>

#include "effects/gdiplus_handle.h"

namespace {

using namespace Gdiplus::DllExports;

ULONG_PTR g_gdiplusToken = 0;

constexpr int kDefaultSize = 5;
// Wider than any screen: a shadow this large would only exhaust memory.
constexpr int64_t kMaxShadowSide = 16384;

HWND ShadowOf(HWND window) {
  HWND shadow = static_cast<HWND>(GetPropW(window, kShadowProp));
  return shadow && IsWindow(shadow) ? shadow : nullptr;
}

// On the shadow: the outer width it is held at, and the width of the band last pushed to it.
constexpr wchar_t kHeldWidthProp[] = L"Ovrin.WndShadow.HeldWidth";
constexpr wchar_t kDrawnWidthProp[] = L"Ovrin.WndShadow.DrawnWidth";

int IntProp(HWND hwnd, const wchar_t* name) {
  return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)));
}
void SetIntProp(HWND hwnd, const wchar_t* name, int value) {
  SetPropW(hwnd, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
}

int SizeOf(HWND shadow) { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(shadow, kShadowSizeProp))); }
COLORREF ColourOf(HWND shadow) {
  return static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProp)));
}

// The band of rings from the outside in, each one pixel wide and stronger than the last; the
// window's own area is clipped out.
void PaintShadowRings(HDC dc, int width, int height, int size, COLORREF colour) {
  const int step = (size < 9 ? 100 : 150) / size;
  if (step == 0) return;  // every ring would be fully transparent
  GdiObject<HRGN> inner(CreateRectRgn(size, size, width - size, height - size));
  GdiplusGraphics graphics;
  Gdiplus::GpGraphics* created = nullptr;
  if (GdipCreateFromHDC(dc, &created) != Gdiplus::Ok) return;
  graphics.reset(created);
  GdipSetClipHrgn(graphics.get(), inner.get(), Gdiplus::CombineModeXor);
  GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeAntiAlias);
  const Gdiplus::ARGB rgb = (static_cast<Gdiplus::ARGB>(GetRValue(colour)) << 16) |
                            (static_cast<Gdiplus::ARGB>(GetGValue(colour)) << 8) | GetBValue(colour);
  for (int i = 1; i <= size; ++i) {
    const Gdiplus::ARGB alpha = static_cast<Gdiplus::ARGB>(step * i);
    Gdiplus::GpPen* pen = nullptr;
    if (GdipCreatePen1((alpha << 24) | rgb, 1.0f, Gdiplus::UnitPixel, &pen) != Gdiplus::Ok) continue;
    GdiplusPen owned(pen);
    GdipDrawRectangle(graphics.get(), pen, static_cast<float>(i - 1), static_cast<float>(i - 1),
                      static_cast<float>(width - 2 * i + 1), static_cast<float>(height - 2 * i + 1));
  }
  GdipResetClip(graphics.get());
}

ShadowBitmap BlankShadowBitmap(HDC reference, int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxShadowSide || height > kMaxShadowSide) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
  void* bits = nullptr;
  ShadowBitmap out;
  // A new DIB section is all zero: fully transparent.
  out.bitmap.reset(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!out.bitmap || !bits) return {};
  out.pixels = static_cast<uint32_t*>(bits);
  out.width = width;
  out.height = height;
  return out;
}

// How far the rings' corners reach in from each corner: beyond this, every row of the band is the
// same along the top and bottom edges and every column along the left and right edges.
int PatternMargin(int size) { return size + 2; }

// Row y of a bitmap, counted from the top; the DIBs store their rows bottom-up.
uint32_t* RowOf(const ShadowBitmap& b, int y) { return b.pixels + static_cast<size_t>(b.height - 1 - y) * b.width; }

// The row of `pattern`, a shadow of side 2m + 1 (m the margin), that row y of a shadow `h` high
// repeats: the pattern's own rows at the top and bottom, its middle row between.
const uint32_t* PatternRowFor(const ShadowBitmap& pattern, int margin, int h, int y) {
  return RowOf(pattern, y < margin ? y : y >= h - margin ? y - (h - pattern.height) : margin);
}

// Puts the shadow of width x height together from `pattern`: its corners are copied, its middle
// row and column repeated along the edges.
// Only the first `w` columns of `out` are written; any beyond stay as they are.
void ComposeFromPattern(const ShadowBitmap& pattern, int margin, ShadowBitmap& out, int w) {
  const int side = pattern.width, h = out.height;
  for (int y = 0; y < h; ++y) {
    const uint32_t* source = PatternRowFor(pattern, margin, h, y);
    uint32_t* target = RowOf(out, y);
    std::copy(source, source + margin, target);
    if (const uint32_t run = source[margin]) std::fill(target + margin, target + w - margin, run);
    std::copy(source + margin + 1, source + side, target + w - margin);
  }
}

// The pixel of a band of outer width `band` at column x of row `source` of the pattern.
uint32_t BandPixel(const uint32_t* source, int side, int margin, int band, int x) {
  if (x < margin) return source[x];
  if (x < band - margin) return source[margin];
  if (x < band) return source[side - (band - x)];
  return 0;
}

// Columns [x0, x1) of `out` become those of a band of outer width `band`.
void ComposeColumns(const ShadowBitmap& pattern, int margin, ShadowBitmap& out, int band, int x0, int x1) {
  const int side = pattern.width, h = out.height;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, out.width);
  for (int y = 0; y < h; ++y) {
    const uint32_t* source = PatternRowFor(pattern, margin, h, y);
    uint32_t* target = RowOf(out, y);
    for (int x = x0; x < x1; ++x) target[x] = BandPixel(source, side, margin, band, x);
  }
}

// The pattern of a shadow size and colour, painted once per thread for the last pair asked for.
const ShadowBitmap& PatternFor(HDC reference, int size, COLORREF colour) {
  struct Cached {
    int size = 0;
    COLORREF colour = 0;
    ShadowBitmap pattern;
  };
  thread_local Cached cached;
  if (!cached.pattern.bitmap || cached.size != size || cached.colour != colour) {
    const int side = 2 * PatternMargin(size) + 1;
    cached = Cached{size, colour, PaintShadowBitmap(reference, side, side, size, colour)};
  }
  return cached.pattern;
}

// While a shadow is held wider, the bitmap last pushed to it is kept: a frame then redraws only
// the columns that changed in it, rather than drawing a bitmap of the whole window again.
struct HeldBitmap {
  HWND shadow = nullptr;
  int size = 0;
  COLORREF colour = 0;
  ShadowBitmap bitmap;
};
// Per thread, as the shadows are: each belongs to its window's thread.
HeldBitmap& Held() {
  thread_local HeldBitmap held;
  return held;
}
void ForgetHeldBitmap(HWND shadow) {
  if (Held().shadow == shadow) Held() = HeldBitmap{};
}

void DetachShadow(HWND window) {
  if (HWND shadow = ShadowOf(window)) {
    RemovePropW(shadow, kShadowColorProp);
    RemovePropW(shadow, kShadowSizeProp);
    RemovePropW(shadow, kHeldWidthProp);
    RemovePropW(shadow, kDrawnWidthProp);
    ForgetHeldBitmap(shadow);
    DestroyWindow(shadow);
  }
  RemovePropW(window, kShadowProp);
  if (HANDLE old = GetPropW(window, kShadowProcProp)) {
    // Only while ours is the window's procedure: putting the old one back under a later subclass
    // would cut that subclass out. Otherwise ours stays in the chain, passing everything on.
    if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ShadowWindowProc)) {
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      RemovePropW(window, kShadowProcProp);
    }
  }
}

// Pushes the band of outer width `band` to the layered window, `width` x `height` in all, placing
// the window at `at` in the same step when given. Only `dirty` is updated when given, which the
// window must already be of that size for. False when nothing could be pushed.
bool PushShadow(HWND shadow, const POINT* at, int width, int height, int band, const RECT* dirty) {
  WindowDc screen(shadow);
  if (!screen) return false;
  const int shadowSize = SizeOf(shadow);
  const COLORREF colour = ColourOf(shadow);
  HeldBitmap& held = Held();
  const bool reuse = dirty && held.shadow == shadow && held.size == shadowSize && held.colour == colour &&
                     held.bitmap.width == width && held.bitmap.height == height;
  ShadowBitmap drawn;
  if (reuse) {
    if (!RedrawShadowColumns(held.bitmap, band, dirty->left, dirty->right, shadowSize, colour)) return false;
  } else {
    drawn = DrawShadowBand(screen.get(), width, height, band, shadowSize, colour);
    ForgetHeldBitmap(shadow);
    if (drawn.bitmap && width != band) held = HeldBitmap{shadow, shadowSize, colour, std::move(drawn)};
  }
  const ShadowBitmap& bitmap = held.shadow == shadow ? held.bitmap : drawn;
  if (!bitmap.bitmap) return false;
  MemoryDc memory(CreateCompatibleDC(screen.get()));
  if (!memory) return false;
  SelectedObject selected(memory.get(), bitmap.bitmap.get());
  SIZE size{width, height};
  POINT source{0, 0};
  POINT place = at ? *at : POINT{};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO info{sizeof info, screen.get(), at ? &place : nullptr, &size, memory.get(), &source, 0,
                               &blend, ULW_ALPHA, dirty};
  const bool pushed = UpdateLayeredWindowIndirect(shadow, &info) != FALSE;
  SetIntProp(shadow, kDrawnWidthProp, pushed ? band : 0);
  return pushed;
}

// Places the shadow around the window, shown or hidden with it. A layered window keeps what was
// last pushed to it, so the bitmap is made again only when asked to or when its size changes: a
// pure move just moves the shadow. While held wider, a width change redraws the changed columns.
void FollowWindow(HWND window, std::optional<bool> visible, bool repaint) {
  HWND shadow = ShadowOf(window);
  if (!shadow) return;
  const bool show = visible.value_or(IsWindowVisible(window) != FALSE);
  if (!show || IsZoomed(window) || IsIconic(window)) {
    ShowWindow(shadow, SW_HIDE);
    return;
  }
  if (!IsWindowVisible(shadow)) {
    ShowWindow(shadow, SW_SHOWNA);
    repaint = true;
  }
  RECT rc;
  GetWindowRect(window, &rc);
  const int64_t width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (width == 0 || height == 0) return;
  const int64_t s = SizeOf(shadow);
  const int64_t held = std::max<int64_t>(width, IntProp(shadow, kHeldWidthProp));
  if (held + 2 * s > kMaxShadowSide || height + 2 * s > kMaxShadowSide) return;
  const int x = static_cast<int>(rc.left - s), y = static_cast<int>(rc.top - s);
  const int band = static_cast<int>(width + 2 * s), h = static_cast<int>(height + 2 * s);
  const int w = static_cast<int>(held + 2 * s);
  // A band narrower than the pattern is painted whole; it is never held wider.
  const int side = 2 * PatternMargin(static_cast<int>(s)) + 1;
  RECT placed;
  GetWindowRect(shadow, &placed);
  const bool sameSize = placed.right - placed.left == w && placed.bottom - placed.top == h;
  const POINT at{x, y};
  if (!repaint && sameSize) {
    const int drawn = IntProp(shadow, kDrawnWidthProp);
    if (drawn == band) {
      if (placed.left != x || placed.top != y)
        SetWindowPos(shadow, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    }
    // Columns left of both bands' right-hand pattern are the same for either width.
    if (drawn >= side && band >= side) {
      const RECT dirty{std::min(drawn, band) - PatternMargin(static_cast<int>(s)), 0, std::max(drawn, band), h};
      if (PushShadow(shadow, &at, w, h, band, &dirty)) return;
    }
  }
  // Moved, sized and filled in one step, so no frame shows the old bitmap at the new size.
  if (band < side && w != band) {
    if (!PushShadow(shadow, &at, band, h, band, nullptr)) MoveWindow(shadow, x, y, band, h, TRUE);
    return;
  }
  if (!PushShadow(shadow, &at, w, h, band, nullptr)) MoveWindow(shadow, x, y, w, h, TRUE);
}

void OnOwnerDestroyed(HWND window) {
  ForgetHeldBitmap(static_cast<HWND>(GetPropW(window, kShadowProp)));
  // The shadow, an owned window, is already gone; properties must not outlive the window.
  RemovePropW(window, kShadowProp);
  RemovePropW(window, kShadowProcProp);
}

}  // namespace

void StartGdiPlus() {
  if (g_gdiplusToken) return;
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);
}

bool GdiPlusStarted() { return g_gdiplusToken != 0; }

HWND GetOrCreateShadowWindow(HWND window) {
  if (HWND shadow = ShadowOf(window)) return shadow;
  // Shown later without activation, so the window it surrounds keeps the focus.
  const DWORD exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND shadow = CreateWindowExW(exStyle, L"SysShadow", L"", WS_POPUP, 0, 0, 0, 0, window, nullptr, instance, nullptr);
  if (!shadow) shadow = CreateWindowExW(exStyle, L"Static", L"", WS_POPUP, 0, 0, 0, 0, window, nullptr, instance, nullptr);
  if (!shadow) return nullptr;
  ShowWindow(shadow, SW_SHOWNA);
  SetPropW(window, kShadowProp, shadow);
  return shadow;
}

bool AttachShadow(HWND window, COLORREF colour, std::optional<int> size) {
  if (!IsWindow(window)) return false;
  if (size && *size < 1) {
    DetachShadow(window);
    return false;
  }
  StartGdiPlus();  // painting needs it; a no-op after the first call
  HWND shadow = GetOrCreateShadowWindow(window);
  if (!shadow) return false;
  SetPropW(shadow, kShadowColorProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(colour)));
  SetPropW(shadow, kShadowSizeProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(size.value_or(kDefaultSize))));
  UpdateShadow(window);
  if (!GetPropW(window, kShadowProcProp)) {
    const LONG_PTR old = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShadowWindowProc));
    SetPropW(window, kShadowProcProp, reinterpret_cast<HANDLE>(old));
  }
  return true;
}

void UpdateShadow(HWND window, std::optional<bool> visible) { FollowWindow(window, visible, true); }

ShadowBitmap PaintShadowBitmap(HDC reference, int width, int height, int size, COLORREF colour) {
  if (size < 1) return {};
  ShadowBitmap out = BlankShadowBitmap(reference, width, height);
  if (!out.bitmap) return {};
  {
    MemoryDc dc(CreateCompatibleDC(reference));
    if (!dc) return {};
    SelectedObject selected(dc.get(), out.bitmap.get());
    PaintShadowRings(dc.get(), width, height, size, colour);
  }
  GdiFlush();
  return out;
}

ShadowBitmap DrawShadowBitmap(HDC reference, int width, int height, int size, COLORREF colour) {
  if (size < 1) return {};
  const int margin = PatternMargin(size);
  const int side = 2 * margin + 1;
  // Painting costs in proportion to the bitmap's area; the band is all that differs between sizes.
  if (width < side || height < side) return PaintShadowBitmap(reference, width, height, size, colour);
  ShadowBitmap out = BlankShadowBitmap(reference, width, height);
  if (!out.bitmap) return {};
  const ShadowBitmap& pattern = PatternFor(reference, size, colour);
  if (!pattern.bitmap) return {};
  ComposeFromPattern(pattern, margin, out, width);
  return out;
}

ShadowBitmap DrawShadowBand(HDC reference, int width, int height, int band, int size, COLORREF colour) {
  if (band == width) return DrawShadowBitmap(reference, width, height, size, colour);
  const int margin = PatternMargin(size);
  if (size < 1 || band < 2 * margin + 1 || band > width) return {};
  ShadowBitmap out = BlankShadowBitmap(reference, width, height);
  if (!out.bitmap) return {};
  const ShadowBitmap& pattern = PatternFor(reference, size, colour);
  if (!pattern.bitmap) return {};
  ComposeFromPattern(pattern, margin, out, band);
  return out;
}

bool RedrawShadowColumns(ShadowBitmap& bitmap, int band, int x0, int x1, int size, COLORREF colour) {
  const int margin = PatternMargin(size);
  if (!bitmap.bitmap || size < 1 || band < 2 * margin + 1 || band > bitmap.width || bitmap.height < 2 * margin + 1)
    return false;
  const ShadowBitmap& pattern = PatternFor(nullptr, size, colour);
  if (!pattern.bitmap) return false;
  GdiFlush();  // GDI may still be drawing into the DIB
  ComposeColumns(pattern, margin, bitmap, band, x0, x1);
  return true;
}

void RenderShadow(HWND window, int width, int height) {
  HWND shadow = ShadowOf(window);
  if (!shadow) return;
  if (width == 0 || height == 0) {
    RECT rc;
    GetWindowRect(shadow, &rc);
    width = rc.right - rc.left;
    height = rc.bottom - rc.top;
    if (width == 0 || height == 0) return;
  }
  // A shadow held wider keeps its band where the window is.
  const int drawn = IntProp(shadow, kDrawnWidthProp);
  const int band = GetPropW(shadow, kHeldWidthProp) && drawn > 0 && drawn < width ? drawn : width;
  PushShadow(shadow, nullptr, width, height, band, nullptr);
}

void HoldShadowWidth(HWND window, int width) {
  if (HWND shadow = ShadowOf(window)) SetIntProp(shadow, kHeldWidthProp, std::max(width, 0));
}

void ReleaseShadowWidth(HWND window) {
  HWND shadow = ShadowOf(window);
  if (!shadow || !RemovePropW(shadow, kHeldWidthProp)) return;
  FollowWindow(window, std::nullopt, false);
  ForgetHeldBitmap(shadow);
}

// Follows the window: every move and size change places the shadow around it; showing, hiding,
// minimising and maximising show or hide it.
LRESULT CALLBACK ShadowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto old = reinterpret_cast<WNDPROC>(GetPropW(window, kShadowProcProp));
  const LRESULT result =
      old ? CallWindowProcW(old, window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_MOVE:
    case WM_SIZE:
      FollowWindow(window, std::nullopt, false);
      break;
    case WM_SHOWWINDOW:
      FollowWindow(window, wParam != 0, true);
      break;
    case WM_NCDESTROY:
      OnOwnerDestroyed(window);
      break;
  }
  return result;
}

#pragma once
// The soft drop shadow around a window: a click-through layered window that stays exactly around
// it, painted as a fading band with per-pixel alpha. Its state lives in window properties.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "runtime/handles.h"

inline constexpr wchar_t kShadowProp[] = L"Ovrin.WndShadow";            // on the window: its shadow
inline constexpr wchar_t kShadowProcProp[] = L"Ovrin.WndShadow.Proc";   // on the window: its old procedure
inline constexpr wchar_t kShadowColorProp[] = L"Ovrin.WndShadow.Color"; // on the shadow: COLORREF
inline constexpr wchar_t kShadowSizeProp[] = L"Ovrin.WndShadow.Size";   // on the shadow: width in pixels

// Gives `window` a shadow of `colour` and `size` pixels (5 when left out), or updates it; the
// window is subclassed once to follow. A size below 1 removes the shadow instead and returns
// false, as does a handle that is not a window.
bool AttachShadow(HWND window, COLORREF colour, std::optional<int> size = std::nullopt);

// The window's shadow window, created when it has none.
HWND GetOrCreateShadowWindow(HWND window);

// Places, shows or hides and repaints the shadow; `visible` defaults to the window's visibility.
// Hidden while the window is hidden, minimised or maximised.
void UpdateShadow(HWND window, std::optional<bool> visible = std::nullopt);

// While a window's width steps through an animation, its shadow can be held at least `width`
// (the window's outer width) wide: each step then redraws only the columns that changed in a
// layered window of the same size, rather than resizing it and pushing the whole bitmap again.
// The columns beyond the band are fully transparent. Releasing puts the shadow exactly around the
// window again at once.
void HoldShadowWidth(HWND window, int width);
void ReleaseShadowWidth(HWND window);

// Paints the shadow bitmap of width x height (the shadow window's size when 0) and pushes it to
// the layered window.
void RenderShadow(HWND window, int width, int height);

LRESULT CALLBACK ShadowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// GdiplusStartup once per process; GDI+ is never shut down.
void StartGdiPlus();
bool GdiPlusStarted();

// The shadow bitmap that RenderShadow pushes: a 32-bit DIB with premultiplied alpha.
struct ShadowBitmap {
  GdiObject<HBITMAP> bitmap;
  uint32_t* pixels = nullptr;  // bottom-up rows, as the DIB stores them
  int width = 0;
  int height = 0;
  // Alpha of the pixel at (x, y), y counted from the top.
  uint8_t Alpha(int x, int y) const { return static_cast<uint8_t>(pixels[(height - 1 - y) * width + x] >> 24); }
};
// The shadow's band of `size` rings in `colour` around a window, width x height with the band.
ShadowBitmap DrawShadowBitmap(HDC reference, int width, int height, int size, COLORREF colour);
// A bitmap `width` wide holding, at its left, the shadow of a window whose outer width with the
// band is `band` (at least the pattern's side, at most `width`); the columns beyond are transparent.
ShadowBitmap DrawShadowBand(HDC reference, int width, int height, int band, int size, COLORREF colour);
// Makes columns [x0, x1) of a bitmap from DrawShadowBand those of a band of outer width `band`.
// False, changing nothing, for a band or bitmap the shadow cannot be drawn in.
bool RedrawShadowColumns(ShadowBitmap& bitmap, int band, int x0, int x1, int size, COLORREF colour);
// The same, every ring painted with GDI+ over the whole bitmap.
ShadowBitmap PaintShadowBitmap(HDC reference, int width, int height, int size, COLORREF colour);

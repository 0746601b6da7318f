#pragma once
// Owners for the GDI+ flat-API objects the program draws with. Kept apart from
// runtime/handles.h so that only code drawing with GDI+ parses its large headers.

#include <windows.h>
#include <gdiplus.h>

#include "runtime/handles.h"

struct GdiplusGraphicsTraits {
  using Handle = Gdiplus::GpGraphics*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Gdiplus::DllExports::GdipDeleteGraphics(h); }
};
using GdiplusGraphics = UniqueOwner<GdiplusGraphicsTraits>;

struct GdiplusPenTraits {
  using Handle = Gdiplus::GpPen*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Gdiplus::DllExports::GdipDeletePen(h); }
};
using GdiplusPen = UniqueOwner<GdiplusPenTraits>;

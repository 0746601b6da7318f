#pragma once
// Owner of a WinHttp HINTERNET (session, connection or request).
//
// Kept here rather than in runtime/handles.h: MinGW's winhttp.h and wininet.h declare the same
// names differently and cannot meet in one translation unit, so each Internet API's owner lives
// beside the code that uses that API.

#include <windows.h>
#include <winhttp.h>

#include "runtime/handles.h"

struct WinHttpHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { WinHttpCloseHandle(h); }
};
using WinHttpHandle = UniqueOwner<WinHttpHandleTraits>;

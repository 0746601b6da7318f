#pragma once
// Owner of a WinInet handle (root, connection or request), closed with InternetCloseHandle.
//
// MinGW's wininet.h and winhttp.h declare several of the same names (INTERNET_PORT, the
// INTERNET_SCHEME values, ...) differently, so they cannot meet in one translation unit. This owner
// therefore lives beside the WinInet code instead of in runtime/handles.h, and a file that
// includes it must not include winhttp.h.

#include <windows.h>
#include <wininet.h>

#include "runtime/handles.h"

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { InternetCloseHandle(h); }
};
using InternetHandle = UniqueOwner<InternetHandleTraits>;

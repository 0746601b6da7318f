#pragma once
// Owners of the Internet APIs' handles: WinHttp's (session, connection, request) and WinInet's
// (root, connection, request). Both kinds are an HINTERNET, but each closes with its own API.
//
// MinGW's winhttp.h and wininet.h declare the same names differently (INTERNET_SCHEME,
// URL_COMPONENTS, the INTERNET_SCHEME_* values...), so no translation unit may include both. This
// header includes neither: HINTERNET is the same untyped pointer in both, and each Close is
// defined in a file of its own (winhttp_handle.cpp, wininet_handle.cpp) that includes only its
// API. A source file uses one API, and includes only that API's header besides this one.

#include "runtime/handles.h"

struct WinHttpHandleTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h);  // WinHttpCloseHandle
};
using WinHttpHandle = UniqueOwner<WinHttpHandleTraits>;

struct InternetHandleTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h);  // InternetCloseHandle
};
using InternetHandle = UniqueOwner<InternetHandleTraits>;

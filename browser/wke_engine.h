#pragma once
// Loading the browser engine node.dll and binding its functions by name.

#include <windows.h>

#include <string>

#include "node_engine/wke.h"
#include "runtime/handles.h"

// The engine's functions; a function the library lacks stays null.
struct WkeApi {
  decltype(&wkeInitializeEx) initializeEx = nullptr;
  decltype(&wkeCreateWebWindow) createWebWindow = nullptr;
  decltype(&wkeDestroyWebWindow) destroyWebWindow = nullptr;
  decltype(&wkeGetWindowHandle) getWindowHandle = nullptr;
  decltype(&wkeMoveWindow) moveWindow = nullptr;
  decltype(&wkeLoadURL) loadUrl = nullptr;
  decltype(&wkeLoadHTML) loadHtml = nullptr;
  decltype(&wkeClearCookie) clearCookie = nullptr;
  decltype(&wkeSetUserAgent) setUserAgent = nullptr;
  decltype(&wkeSetCookieJarPath) setCookieJarPath = nullptr;
  decltype(&wkeSetLocalStorageFullPath) setLocalStorageFullPath = nullptr;
};

struct WkeEngine {
  UniqueLibrary library;  // empty when the engine could not be loaded
  WkeApi api;
};

// The engine file expected in a program folder (GBK path).
std::string WkeEnginePath(const std::string& programDirectory);

// Loads node.dll from the program folder, or by its bare name through the system's library search
// when the folder lacks it; initialises it and binds every function. A missing file and each
// missing function are reported in a message box; loading goes on past both.
WkeEngine LoadWkeEngine(const std::string& programDirectory);

// The engine of this process: loaded from the program directory on the first call, kept loaded
// until the process ends.
const WkeApi& ProcessWkeEngine();

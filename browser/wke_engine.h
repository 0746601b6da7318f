#pragma once
// Loading the browser engine node.dll and binding its functions by name.

#include <windows.h>

#include <functional>
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

// How the panel tells the user about a missing engine or function (caption, text; GBK). Empty: a
// task-modal system message box.
using BrowserNotice = std::function<void(const std::string& caption, const std::string& text)>;

// Loads node.dll by its full path in the program folder (never from anywhere else the library
// search would look), initialises it and binds every function. A missing file and each missing
// function are told through `notice`; without the file there is no engine, a missing function
// stays null.
WkeEngine LoadWkeEngine(const std::string& programDirectory, const BrowserNotice& notice = {});

// The engine of this process: loaded from the program directory on the first call (which tells
// through its `notice`), kept loaded until the process ends.
const WkeApi& ProcessWkeEngine(const BrowserNotice& notice = {});

#pragma once
// The login browser panel: a child window of class "JYwkeCtrl" holding a view of the browser
// engine (node.dll, loaded from the program directory on the first creation). GUI thread only.

#include <windows.h>

#include <string>

#include "browser/wke_engine.h"

inline constexpr wchar_t kBrowserClassName[] = L"JYwkeCtrl";

struct BrowserOptions {
  std::string initialAddress;   // loaded at creation unless empty
  std::string cookieDirectory;  // empty: the engine's own cookie store
  std::string cacheDirectory;   // empty: the engine's own local storage
  BrowserNotice notice;         // tells a failed class registration
};

// Creates the panel at (x, y) in the parent with the engine of this process (loaded by the first
// call, which tells a missing engine through `notice`). Returns null only when the window class
// cannot be registered; without an engine the panel is an empty window.
HWND CreateBrowserControl(HWND parent, int x, int y, int width, int height, int controlId,
                          const std::string& initialAddress, const BrowserNotice& notice = {});
// The same with a given engine, which must outlive the panel, and options.
HWND CreateBrowserControl(const WkeApi& engine, HWND parent, int x, int y, int width, int height,
                          int controlId, const BrowserOptions& options);

// Deletes every cookie the engine holds.
void ClearBrowserCookies(HWND browser);
// Loads the address (an empty text shows a blank page) and keeps it as the panel's address.
void SetBrowserAddress(HWND browser, const std::string& address);
// The last address the program set (navigation inside the page does not change it).
std::string BrowserAddress(HWND browser);

// node.dll's exported functions, over the system's WebBrowser control. Cookies belong to the
// system's Internet session of this process, so clearing them applies to every view at once.
#define WKE_BUILDING_ENGINE
#include "node_engine/wke.h"

#include <urlmon.h>
#include <wininet.h>

#include <string>

#include "node_engine/browser_emulation.h"
#include "node_engine/web_view.h"

namespace {

// Missing from MinGW's wininet.h: cookies that servers mark persistent are kept in memory only.
constexpr DWORD kSuppressCookiePersist = 3;

bool g_initialized = false;
bool g_oleReady = false;

void Initialize() {
  if (g_initialized) return;
  g_initialized = true;
  // A program that does not ask gets the control's oldest document mode, in which today's login
  // pages do not work. The control reads the setting when it first starts in the process, so it
  // is asked for before any view exists; a user's key that refuses the write leaves the old mode.
  AskForDocumentMode(HKEY_CURRENT_USER, kBrowserEmulationKey, ProgramFileName(), kNewestDocumentMode);
  // In-place embedding needs OLE on this thread; a thread already in the multithreaded apartment
  // gets views without a page.
  g_oleReady = SUCCEEDED(OleInitialize(nullptr));
  // The panel's sign-ins stay inside this process: nothing is written to the user's own cookie
  // store, and ending the session (wkeClearCookie) then signs every page out.
  DWORD suppress = kSuppressCookiePersist;
  InternetSetOptionW(nullptr, INTERNET_OPTION_SUPPRESS_BEHAVIOR, &suppress, sizeof suppress);
  CoInternetSetFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE);
}

WebView* ViewOf(wkeWebView view) { return reinterpret_cast<WebView*>(view); }

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

extern "C" {

void WKE_CALL wkeInitializeEx(const wkeSettings*) { Initialize(); }

wkeWebView WKE_CALL wkeCreateWebWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height) {
  if (type != WKE_WINDOW_TYPE_CONTROL || !IsWindow(parent)) return nullptr;
  Initialize();
  return reinterpret_cast<wkeWebView>(WebView::Create(parent, x, y, width, height, g_oleReady));
}

void WKE_CALL wkeDestroyWebWindow(wkeWebView view) {
  if (view) ViewOf(view)->Destroy();
}

HWND WKE_CALL wkeGetWindowHandle(wkeWebView view) { return view ? ViewOf(view)->window() : nullptr; }

void WKE_CALL wkeMoveWindow(wkeWebView view, int x, int y, int width, int height) {
  if (view) ViewOf(view)->Move(x, y, width, height);
}

void WKE_CALL wkeLoadURL(wkeWebView view, const wchar_t* url) {
  if (view) ViewOf(view)->LoadUrl(Text(url));
}

void WKE_CALL wkeLoadHTML(wkeWebView view, const wchar_t* html) {
  if (view) ViewOf(view)->LoadHtml(Text(html));
}

void WKE_CALL wkeClearCookie(wkeWebView view) {
  // Ending the browser session drops every session cookie of this process, which with persistence
  // suppressed is every cookie the panel's pages have set.
  if (view) InternetSetOptionW(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
}

void WKE_CALL wkeSetUserAgent(wkeWebView view, const wchar_t* userAgent) {
  if (view) ViewOf(view)->SetUserAgent(Text(userAgent));
}

// The system keeps cookies and local storage in its own per-user stores.
void WKE_CALL wkeSetCookieJarPath(wkeWebView, const wchar_t*) {}
void WKE_CALL wkeSetLocalStorageFullPath(wkeWebView, const wchar_t*) {}

}  // extern "C"

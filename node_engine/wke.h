#pragma once
// The browser engine's C interface, as node.dll exports it.
//
// Every function uses the C calling convention and is exported under its plain name, so a host
// resolves it with GetProcAddress(module, "wkeLoadURL"). Texts are zero-terminated UTF-16. A view
// is an opaque handle; every function taking one accepts null and then does nothing. No function
// shows a dialog, runs a modal loop or waits on the network: loads start and return at once.
//
// The host calls wkeInitializeEx once after loading the library, on the thread that will own the
// views (a single-threaded-apartment GUI thread), and uses the views on that thread only.

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WKE_CALL __cdecl
#ifdef WKE_BUILDING_ENGINE
#define WKE_API __declspec(dllexport)
#else
#define WKE_API
#endif

typedef struct wkeViewState* wkeWebView;

// Reserved for engine options; size is the structure's byte count. A null pointer means defaults.
typedef struct wkeSettings {
  unsigned int size;
  unsigned int flags;
} wkeSettings;

typedef enum wkeWindowType {
  WKE_WINDOW_TYPE_CONTROL = 2,  // a child window of the given parent
} wkeWindowType;

// Prepares the engine on the calling thread. Later calls do nothing.
WKE_API void WKE_CALL wkeInitializeEx(const wkeSettings* settings);

// Creates a view showing an empty page, with its own window placed at (x, y) in the parent's
// client area. Returns null when no view can be made; the parent is left as it was.
WKE_API wkeWebView WKE_CALL wkeCreateWebWindow(wkeWindowType type, HWND parent, int x, int y,
                                               int width, int height);
// Stops any load and destroys the view's window. The handle is invalid afterwards.
WKE_API void WKE_CALL wkeDestroyWebWindow(wkeWebView view);
// The view's own window (the one to give the keyboard focus), or null.
WKE_API HWND WKE_CALL wkeGetWindowHandle(wkeWebView view);
// Moves and sizes the view's window inside its parent.
WKE_API void WKE_CALL wkeMoveWindow(wkeWebView view, int x, int y, int width, int height);

// Starts loading an address, replacing any load in progress.
WKE_API void WKE_CALL wkeLoadURL(wkeWebView view, const wchar_t* url);
// Shows an HTML text as the page, replacing any load in progress.
WKE_API void WKE_CALL wkeLoadHTML(wkeWebView view, const wchar_t* html);

// Deletes every cookie in the engine's store, so the next load starts signed out.
WKE_API void WKE_CALL wkeClearCookie(wkeWebView view);
// The User-Agent text that the view's requests send from now on.
WKE_API void WKE_CALL wkeSetUserAgent(wkeWebView view, const wchar_t* userAgent);
// Folders for the cookie store and for page local storage. An engine that keeps these in a
// system-wide store may ignore them.
WKE_API void WKE_CALL wkeSetCookieJarPath(wkeWebView view, const wchar_t* path);
WKE_API void WKE_CALL wkeSetLocalStorageFullPath(wkeWebView view, const wchar_t* path);

#ifdef __cplusplus
}
#endif

#pragma once
// One engine view: a child window hosting the system's WebBrowser control in place.

#include <exdisp.h>
#include <oleidl.h>
#include <windows.h>

#include <string>

#include "runtime/handles.h"

class BrowserSite;

class WebView {
 public:
  // Null only when the window itself cannot be made. Without the control (embedBrowser false, or
  // no HTML engine on the system) the view is an empty window and every load does nothing.
  static WebView* Create(HWND parent, int x, int y, int width, int height, bool embedBrowser);
  // Closes the control, destroys the window and frees the view.
  void Destroy();

  HWND window() const { return window_; }
  void Move(int x, int y, int width, int height);
  void LoadUrl(const std::wstring& url);
  void LoadHtml(const std::wstring& html);
  // Sent by every later load of this view, and offered to its documents for their own requests.
  void SetUserAgent(const std::wstring& userAgent) { userAgent_ = userAgent; }
  const std::wstring& userAgent() const { return userAgent_; }

  // Called by the site's event sink.
  void OnDocumentComplete(IDispatch* frame, const std::wstring& url);
  void OnNewWindow(const std::wstring& url);
  // Gives the control a chance at a keyboard message for one of its windows; true when used.
  bool TranslateKey(MSG& message);

  // Window procedure handlers.
  void OnSize(int width, int height);
  void OnSetFocus();
  void OnOpenPopup();
  void OnDestroy();

 private:
  WebView() = default;
  ~WebView() = default;
  bool EmbedBrowser();
  void ReleaseBrowser();
  void Navigate(const std::wstring& url);
  void WriteDocument(const std::wstring& html);

  HWND window_ = nullptr;
  BrowserSite* site_ = nullptr;  // counted: the control holds references of its own
  ComPtr<IOleObject> oleObject_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;
  ComPtr<IWebBrowser2> browser_;
  DWORD eventCookie_ = 0;
  bool htmlPending_ = false;
  std::wstring pendingHtml_;
  std::wstring popupUrl_;
  std::wstring userAgent_;
};

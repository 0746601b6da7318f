#include "node_engine/web_view.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <algorithm>
#include <utility>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr wchar_t kViewClassName[] = L"NodeEngineView";
constexpr wchar_t kBlankUrl[] = L"about:blank";
// Posted to the view window to open a pop-up's address in the view itself, outside the event.
constexpr UINT kOpenPopupMessage = WM_APP + 1;

HINSTANCE EngineInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Views of this thread, for the keyboard hook; views are used on one thread only.
std::vector<WebView*> g_views;
HHOOK g_keyboardHook = nullptr;

// The control handles Tab, arrows, Delete and its shortcuts through TranslateAccelerator, which
// the host's message loop knows nothing about; a message hook gives every keyboard message to
// the view it is meant for first.
LRESULT CALLBACK KeyboardMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    MSG& message = *reinterpret_cast<MSG*>(lParam);
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
      // A copy, checked as it goes: a view may go away while the control handles the key.
      std::vector<WebView*> views = g_views;
      for (WebView* view : views) {
        if (std::find(g_views.begin(), g_views.end(), view) == g_views.end()) continue;
        if (view->TranslateKey(message)) {
          message.message = WM_NULL;
          message.wParam = 0;
          message.lParam = 0;
          break;
        }
      }
    }
  }
  return CallNextHookEx(g_keyboardHook, code, wParam, lParam);
}

void AddView(WebView* view) {
  g_views.push_back(view);
  if (!g_keyboardHook)
    g_keyboardHook = SetWindowsHookExW(WH_GETMESSAGE, KeyboardMessageHook, nullptr, GetCurrentThreadId());
}

void RemoveView(WebView* view) {
  g_views.erase(std::remove(g_views.begin(), g_views.end(), view), g_views.end());
  if (g_views.empty() && g_keyboardHook) {
    UnhookWindowsHookEx(g_keyboardHook);
    g_keyboardHook = nullptr;
  }
}

RECT ClientRect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

// The variant behind an event argument, which may come by reference.
const VARIANT* Deref(const VARIANT& v) {
  return (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&v)) ? V_VARIANTREF(&v) : &v;
}

std::wstring VariantText(const VARIANT& v) {
  const VARIANT* value = Deref(v);
  if (V_VT(value) == VT_BSTR && V_BSTR(value)) return std::wstring(V_BSTR(value), SysStringLen(V_BSTR(value)));
  if (V_VT(value) == (VT_BSTR | VT_BYREF) && V_BSTRREF(value) && *V_BSTRREF(value))
    return std::wstring(*V_BSTRREF(value), SysStringLen(*V_BSTRREF(value)));
  return {};
}

}  // namespace

// The container side of the embedding: client site, in-place site and frame of the control, the
// sink of its DWebBrowserEvents2, and the host of the pages' message boxes. The control keeps references to it, so it is counted and
// outlives the view if need be; Detach cuts it loose from the view.
class BrowserSite final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDocHostShowUI,
                          public IDispatch {
 public:
  explicit BrowserSite(WebView* view) : view_(view) {}
  void Detach() { view_ = nullptr; }
  HWND Window() const { return view_ ? view_->window() : nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
      *out = static_cast<IDispatch*>(this);
    else if (iid == __uuidof(IDocHostShowUI))
      *out = static_cast<IDocHostShowUI*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = Window();
    return *out ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return Window() ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                RECT* clip, OLEINPLACEFRAMEINFO* info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    HWND window = Window();
    *position = *clip = window ? ClientRect(window) : RECT{};
    info->fMDIApp = FALSE;
    info->hwndFrame = window ? GetAncestor(window, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostShowUI: a page's alert() or confirm() would stop the program in a modal box; it is
  // answered at once, as if OK had been pressed.
  STDMETHODIMP ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) override {
    if (result) *result = IDOK;
    return S_OK;
  }
  STDMETHODIMP ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) override { return S_OK; }

  // IDispatch: the control's events, and the ambient properties its documents ask the site for.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (member == DISPID_AMBIENT_USERAGENT) {
      if (!view_ || view_->userAgent().empty() || !(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
      VariantInit(result);
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocString(view_->userAgent().c_str());
      return S_OK;
    }
    if (member < 0) return DISP_E_MEMBERNOTFOUND;  // other ambient properties: the defaults
    if (!view_ || !params) return S_OK;
    // Arguments arrive last first.
    if (member == DISPID_DOCUMENTCOMPLETE && params->cArgs == 2) {
      const VARIANT* frame = Deref(params->rgvarg[1]);
      IDispatch* frameDispatch = V_VT(frame) == VT_DISPATCH ? V_DISPATCH(frame) : nullptr;
      view_->OnDocumentComplete(frameDispatch, VariantText(params->rgvarg[0]));
    } else if (member == DISPID_NEWWINDOW3 && params->cArgs == 5) {
      // A pop-up would open a browser window of its own outside the panel: show its page here.
      VARIANT& cancel = params->rgvarg[3];
      if (V_VT(&cancel) == (VT_BOOL | VT_BYREF) && V_BOOLREF(&cancel)) {
        *V_BOOLREF(&cancel) = VARIANT_TRUE;
        view_->OnNewWindow(VariantText(params->rgvarg[0]));
      }
    }
    return S_OK;
  }

 private:
  ~BrowserSite() = default;
  LONG references_ = 1;
  WebView* view_;
};

namespace {

LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool RegisterViewClass() {
  WNDCLASSEXW existing{sizeof existing};
  if (GetClassInfoExW(EngineInstance(), kViewClassName, &existing)) return true;
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = ViewWindowProc;
  wc.hInstance = EngineInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kViewClassName;
  return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

WebView* WebView::Create(HWND parent, int x, int y, int width, int height, bool embedBrowser) {
  if (!RegisterViewClass()) return nullptr;
  auto* view = new WebView();
  view->window_ = CreateWindowExW(0, kViewClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                  x, y, width, height, parent, nullptr, EngineInstance(), view);
  if (!view->window_) {
    delete view;
    return nullptr;
  }
  view->site_ = new BrowserSite(view);
  AddView(view);
  // Without an HTML engine on the system the view stays an empty window.
  if (embedBrowser && !view->EmbedBrowser()) view->ReleaseBrowser();
  return view;
}

bool WebView::EmbedBrowser() {
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(oleObject_.put()))))
    return false;
  if (FAILED(oleObject_->SetClientSite(site_))) return false;
  RECT rect = ClientRect(window_);
  if (FAILED(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &rect))) return false;
  if (FAILED(oleObject_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser_.put())))) return false;
  oleObject_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlaceObject_.put()));
  if (inPlaceObject_) inPlaceObject_->SetObjectRects(&rect, &rect);
  // Script errors and other prompts of the page must never stop the program with a dialog.
  browser_->put_Silent(VARIANT_TRUE);
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.put()))) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put())))
    point->Advise(static_cast<IDispatch*>(site_), &eventCookie_);
  return true;
}

void WebView::Destroy() {
  // Destroying the window runs the teardown in WM_DESTROY; a window already gone did so before.
  if (window_) DestroyWindow(window_);
  delete this;
}

void WebView::OnDestroy() {
  ReleaseBrowser();
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
  RemoveView(this);
  window_ = nullptr;
}

void WebView::ReleaseBrowser() {
  htmlPending_ = false;
  if (browser_ && eventCookie_) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.put()))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put())))
      point->Unadvise(eventCookie_);
    eventCookie_ = 0;
  }
  if (browser_) browser_->Stop();
  if (inPlaceObject_) inPlaceObject_->InPlaceDeactivate();
  if (oleObject_) {
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
  }
  browser_.reset();
  inPlaceObject_.reset();
  oleObject_.reset();
}

void WebView::Move(int x, int y, int width, int height) {
  if (window_) MoveWindow(window_, x, y, width, height, TRUE);
}

void WebView::OnSize(int width, int height) {
  RECT rect{0, 0, width, height};
  if (inPlaceObject_) inPlaceObject_->SetObjectRects(&rect, &rect);
}

void WebView::OnSetFocus() {
  if (!oleObject_ || !site_) return;
  RECT rect = ClientRect(window_);
  oleObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_, 0, window_, &rect);
}

void WebView::LoadUrl(const std::wstring& url) {
  htmlPending_ = false;
  Navigate(url);
}

void WebView::LoadHtml(const std::wstring& html) {
  // The HTML goes into a fresh blank document once the control reports it complete.
  pendingHtml_ = html;
  htmlPending_ = true;
  Navigate(kBlankUrl);
}

void WebView::Navigate(const std::wstring& url) {
  if (!browser_) return;
  VARIANT address;
  VariantInit(&address);
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  VARIANT empty;
  VariantInit(&empty);
  // The user agent goes with the view's own requests only: a process-wide setting would also
  // change the requests of everything else in the program that uses the system's URL stack.
  VARIANT headers;
  VariantInit(&headers);
  if (!userAgent_.empty()) {
    std::wstring line = L"User-Agent: " + userAgent_ + L"\r\n";
    V_VT(&headers) = VT_BSTR;
    V_BSTR(&headers) = SysAllocStringLen(line.data(), static_cast<UINT>(line.size()));
  }
  browser_->Navigate2(&address, &empty, &empty, &empty, &headers);
  VariantClear(&address);
  VariantClear(&headers);
}

void WebView::OnDocumentComplete(IDispatch* frame, const std::wstring& url) {
  if (!htmlPending_ || !browser_ || !frame || url != kBlankUrl) return;
  // Frames report their own completion; only the top document's counts.
  ComPtr<IUnknown> top;
  ComPtr<IUnknown> completed;
  browser_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(top.put()));
  frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(completed.put()));
  if (!top || top.get() != completed.get()) return;
  htmlPending_ = false;
  WriteDocument(pendingHtml_);
  pendingHtml_.clear();
}

void WebView::WriteDocument(const std::wstring& html) {
  ComPtr<IDispatch> document;
  if (FAILED(browser_->get_Document(document.put())) || !document) return;
  ComPtr<IPersistStreamInit> persist;
  if (FAILED(document->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(persist.put())))) return;
  // UTF-8 with its byte-order mark, so the document needs no charset declaration.
  int bytes = WideCharToMultiByte(CP_UTF8, 0, html.data(), static_cast<int>(html.size()), nullptr, 0, nullptr, nullptr);
  if (bytes < 0) return;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(bytes) + 3);
  if (!memory) return;
  if (auto* data = static_cast<char*>(GlobalLock(memory))) {
    data[0] = '\xEF';
    data[1] = '\xBB';
    data[2] = '\xBF';
    if (bytes > 0)
      WideCharToMultiByte(CP_UTF8, 0, html.data(), static_cast<int>(html.size()), data + 3, bytes, nullptr, nullptr);
    GlobalUnlock(memory);
  }
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.put()))) {
    GlobalFree(memory);
    return;
  }
  if (SUCCEEDED(persist->InitNew())) persist->Load(stream.get());
}

void WebView::OnNewWindow(const std::wstring& url) {
  if (url.empty() || !window_) return;
  popupUrl_ = url;
  PostMessageW(window_, kOpenPopupMessage, 0, 0);
}

void WebView::OnOpenPopup() {
  if (popupUrl_.empty()) return;
  LoadUrl(std::exchange(popupUrl_, std::wstring()));
}

bool WebView::TranslateKey(MSG& message) {
  if (!browser_ || !window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  ComPtr<IOleInPlaceActiveObject> active;
  if (FAILED(browser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(active.put()))))
    return false;
  return active->TranslateAccelerator(&message) == S_OK;
}

namespace {

LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return TRUE;
  }
  auto* view = reinterpret_cast<WebView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (view) {
    switch (message) {
      case WM_SIZE:
        view->OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
      case WM_SETFOCUS:
        view->OnSetFocus();
        return 0;
      case kOpenPopupMessage:
        view->OnOpenPopup();
        return 0;
      case WM_DESTROY:
        view->OnDestroy();
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

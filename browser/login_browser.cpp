#include "browser/login_browser.h"

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <memory>

#include "runtime/codepage.h"
#include "runtime/message_box.h"

namespace {

constexpr wchar_t kUserAgent[] =
    L"Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/69.0.2228.0 "
    L"Safari/537.36";
// An empty address shows this page rather than leaving the previous one up.
constexpr wchar_t kBlankPage[] = L" ";

struct BrowserState {
  const WkeApi* engine = nullptr;
  wkeWebView view = nullptr;
  std::string address;
  bool ownedByWindow = false;  // set once creation succeeded; the window then frees it
};

BrowserState* StateOf(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return nullptr;
  wchar_t className[32] = {};
  if (!GetClassNameW(window, className, static_cast<int>(std::size(className))) ||
      std::wcscmp(className, kBrowserClassName) != 0)
    return nullptr;
  return reinterpret_cast<BrowserState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void LoadAddress(BrowserState& state) {
  const WkeApi& engine = *state.engine;
  if (!state.view) return;
  if (state.address.empty()) {
    if (engine.loadHtml) engine.loadHtml(state.view, kBlankPage);
  } else if (engine.loadUrl) {
    engine.loadUrl(state.view, GbkToWide(state.address).c_str());
  }
}

void CreateView(HWND window, BrowserState& state, const BrowserOptions& options) {
  const WkeApi& engine = *state.engine;
  if (!engine.createWebWindow) return;
  RECT client{};
  GetClientRect(window, &client);
  state.view = engine.createWebWindow(WKE_WINDOW_TYPE_CONTROL, window, 0, 0, client.right, client.bottom);
  if (!state.view) return;
  if (engine.setUserAgent) engine.setUserAgent(state.view, kUserAgent);
  if (!options.cookieDirectory.empty() && engine.setCookieJarPath)
    engine.setCookieJarPath(state.view, GbkToWide(options.cookieDirectory).c_str());
  if (!options.cacheDirectory.empty() && engine.setLocalStorageFullPath)
    engine.setLocalStorageFullPath(state.view, GbkToWide(options.cacheDirectory).c_str());
  if (!state.address.empty()) LoadAddress(state);
}

LRESULT OnNcCreate(HWND window, const CREATESTRUCTW& create) {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create.lpCreateParams));
  return TRUE;
}

void OnSize(BrowserState& state, int width, int height) {
  if (state.view && state.engine->moveWindow) state.engine->moveWindow(state.view, 0, 0, width, height);
}

void OnSetFocus(BrowserState& state) {
  if (!state.view || !state.engine->getWindowHandle) return;
  if (HWND view = state.engine->getWindowHandle(state.view)) SetFocus(view);
}

void OnDestroy(BrowserState& state) {
  if (state.view && state.engine->destroyWebWindow) state.engine->destroyWebWindow(state.view);
  state.view = nullptr;
}

void OnNcDestroy(HWND window, BrowserState* state) {
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (state->ownedByWindow) delete state;
}

LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) return OnNcCreate(window, *reinterpret_cast<CREATESTRUCTW*>(lParam));
  auto* state = reinterpret_cast<BrowserState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (state) {
    switch (message) {
      case WM_SIZE:
        OnSize(*state, LOWORD(lParam), HIWORD(lParam));
        return 0;
      case WM_SETFOCUS:
        OnSetFocus(*state);
        return 0;
      case WM_DESTROY:
        OnDestroy(*state);
        return 0;
      case WM_NCDESTROY:
        OnNcDestroy(window, state);
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterBrowserClass(HINSTANCE instance, const BrowserNotice& notice) {
  WNDCLASSEXW existing{sizeof existing};
  if (GetClassInfoExW(instance, kBrowserClassName, &existing)) return true;
  WNDCLASSEXW wc{sizeof wc};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = BrowserWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kBrowserClassName;
  if (RegisterClassExW(&wc)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_CLASS_ALREADY_EXISTS) return true;
  char text[128];
  std::snprintf(text, sizeof text, "JYwkeCtrl注册类失败\n类名 = %s\n错误代码 = %d", "JYwkeCtrl",
                static_cast<int>(error));
  if (notice) {
    notice("窗口类注册失败", text);
  } else {
    ShowMessageBox(text, MB_OK, "窗口类注册失败");
  }
  return false;
}

}  // namespace

HWND CreateBrowserControl(HWND parent, int x, int y, int width, int height, int controlId,
                          const std::string& initialAddress, const BrowserNotice& notice) {
  BrowserOptions options;
  options.initialAddress = initialAddress;
  options.notice = notice;
  return CreateBrowserControl(ProcessWkeEngine(notice), parent, x, y, width, height, controlId, options);
}

HWND CreateBrowserControl(const WkeApi& engine, HWND parent, int x, int y, int width, int height,
                          int controlId, const BrowserOptions& options) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterBrowserClass(instance, options.notice)) return nullptr;
  auto state = std::make_unique<BrowserState>();
  state->engine = &engine;
  state->address = options.initialAddress;
  HWND window = CreateWindowExW(0, kBrowserClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN,
                                x, y, width, height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, state.get());
  // A failed creation may already have run WM_NCDESTROY; the state stays ours until here.
  if (!window) return nullptr;
  BrowserState& owned = *state.release();
  owned.ownedByWindow = true;
  CreateView(window, owned, options);
  return window;
}

void ClearBrowserCookies(HWND browser) {
  BrowserState* state = StateOf(browser);
  if (state && state->view && state->engine->clearCookie) state->engine->clearCookie(state->view);
}

void SetBrowserAddress(HWND browser, const std::string& address) {
  BrowserState* state = StateOf(browser);
  if (!state) return;
  state->address = address;
  LoadAddress(*state);
}

std::string BrowserAddress(HWND browser) {
  BrowserState* state = StateOf(browser);
  return state ? state->address : std::string();
}

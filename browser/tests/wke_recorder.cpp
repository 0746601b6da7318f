// A test double of the browser engine: every call is appended, with its arguments, to
// "calls.log" beside the DLL (GBK text, one call per line, fields separated by tabs). Built twice:
// complete, and with WKE_RECORDER_PARTIAL lacking a few exports.
#define WKE_BUILDING_ENGINE
#include "node_engine/wke.h"

#include <cstdio>
#include <string>

namespace {

struct RecordedView {
  int number;
};
int g_viewsCreated = 0;

std::wstring LogPath() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&LogPath), &self);
  wchar_t path[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH * 2);
  std::wstring full(path, n);
  return full.substr(0, full.find_last_of(L'\\') + 1) + L"calls.log";
}

std::string Gbk(const wchar_t* text) {
  if (!text) return "(null)";
  int n = WideCharToMultiByte(936, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(936, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::string Number(long long value) { return std::to_string(value); }

std::string View(wkeWebView view) {
  return view ? "view" + Number(reinterpret_cast<RecordedView*>(view)->number) : "(null)";
}

void Record(std::string line) {
  line += "\r\n";
  HANDLE file = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" {

#ifndef WKE_RECORDER_PARTIAL
void WKE_CALL wkeInitializeEx(const wkeSettings* settings) {
  Record(std::string("wkeInitializeEx\t") + (settings ? "settings" : "(null)"));
}
#endif

wkeWebView WKE_CALL wkeCreateWebWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height) {
  auto* view = new RecordedView{++g_viewsCreated};
  auto result = reinterpret_cast<wkeWebView>(view);
  Record("wkeCreateWebWindow\t" + View(result) + "\t" + Number(type) + "\t" +
         Number(reinterpret_cast<INT_PTR>(parent)) + "\t" + Number(x) + "\t" + Number(y) + "\t" +
         Number(width) + "\t" + Number(height));
  return result;
}

void WKE_CALL wkeDestroyWebWindow(wkeWebView view) {
  Record("wkeDestroyWebWindow\t" + View(view));
  delete reinterpret_cast<RecordedView*>(view);
}

HWND WKE_CALL wkeGetWindowHandle(wkeWebView view) {
  Record("wkeGetWindowHandle\t" + View(view));
  return nullptr;
}

void WKE_CALL wkeMoveWindow(wkeWebView view, int x, int y, int width, int height) {
  Record("wkeMoveWindow\t" + View(view) + "\t" + Number(x) + "\t" + Number(y) + "\t" + Number(width) + "\t" +
         Number(height));
}

void WKE_CALL wkeLoadURL(wkeWebView view, const wchar_t* url) { Record("wkeLoadURL\t" + View(view) + "\t" + Gbk(url)); }

void WKE_CALL wkeLoadHTML(wkeWebView view, const wchar_t* html) {
  Record("wkeLoadHTML\t" + View(view) + "\t[" + Gbk(html) + "]");
}

#ifndef WKE_RECORDER_PARTIAL
void WKE_CALL wkeClearCookie(wkeWebView view) { Record("wkeClearCookie\t" + View(view)); }

void WKE_CALL wkeSetUserAgent(wkeWebView view, const wchar_t* userAgent) {
  Record("wkeSetUserAgent\t" + View(view) + "\t" + Gbk(userAgent));
}
#endif

void WKE_CALL wkeSetCookieJarPath(wkeWebView view, const wchar_t* path) {
  Record("wkeSetCookieJarPath\t" + View(view) + "\t" + Gbk(path));
}

void WKE_CALL wkeSetLocalStorageFullPath(wkeWebView view, const wchar_t* path) {
  Record("wkeSetLocalStorageFullPath\t" + View(view) + "\t" + Gbk(path));
}

}  // extern "C"

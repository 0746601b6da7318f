#include "tests/support/window_support.h"

// After windows.h, which commctrl.h needs.
#include <commctrl.h>

#include <vector>

#include "runtime/codepage.h"
#include "runtime/worker.h"

RECT RectInParent(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string WindowClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return WideToGbk(name);
}

std::string ToolTipText(HWND tooltip, HWND tool) {
  std::vector<wchar_t> text(8192, L'\0');
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = GetParent(tool);
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = text.data();
  SendMessageW(tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&info));
  return WideToGbk(text.data());
}

void TypeKey(WORD virtualKey, bool ctrl) {
  std::vector<INPUT> keys;
  auto key = [&](WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    keys.push_back(in);
  };
  if (ctrl) key(VK_CONTROL, false);
  key(virtualKey, false);
  key(virtualKey, true);
  if (ctrl) key(VK_CONTROL, true);
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

namespace {

struct TopLevelSearch {
  DWORD process;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TopLevelSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process == search->process && IsWindowVisible(window) && std::wstring(name) == search->className) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct IdSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<IdSearch*>(parameter);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND TopLevelOf(DWORD process, const wchar_t* className) {
  TopLevelSearch search{process, className, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND DescendantWithId(HWND parent, int id) {
  IdSearch search{id, nullptr};
  EnumChildWindows(parent, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HeldHotKeys::HeldHotKeys(std::initializer_list<UINT> virtualKeys)
    : keys_(virtualKeys),
      held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_(StartWorker([this] { Hold(); })) {
  if (thread_) WaitForSingleObject(held_.get(), 5000);
}

HeldHotKeys::~HeldHotKeys() {
  SetEvent(release_.get());
  if (thread_) WaitForSingleObject(thread_.get(), 5000);
}

void HeldHotKeys::Hold() {
  bool all = true;
  for (size_t i = 0; i < keys_.size(); ++i) all = RegisterHotKey(nullptr, static_cast<int>(i + 1), 0, keys_[i]) && all;
  holdsAll_ = all;
  SetEvent(held_.get());
  WaitForSingleObject(release_.get(), INFINITE);
  for (size_t i = 0; i < keys_.size(); ++i) UnregisterHotKey(nullptr, static_cast<int>(i + 1));
}

#include "tests/e2e/program_window.h"

// After windows.h, which commctrl.h needs.
#include <commctrl.h>

#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/support/window_support.h"

namespace {

constexpr int kCellChars = 4096;
constexpr DWORD kMessageTimeoutMs = 10000;

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

bool WaitUntilSettled(const std::function<std::string()>& state, DWORD timeoutMs) {
  std::string last;
  return WaitFor(
      [&] {
        Sleep(250);
        std::string now = state();
        const bool settled = !now.empty() && now == last;
        last = std::move(now);
        return settled;
      },
      timeoutMs);
}

HWND ControlOf(HWND mainWindow, Control control) {
  return DescendantWithId(mainWindow, ControlCommandId(control));
}

bool PressButton(HWND button, DWORD timeoutMs) {
  // A long handler keeps answering messages meanwhile, so the wait is for the handler itself.
  DWORD_PTR result = 0;
  return button && SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

RemoteListView::RemoteListView(HWND list) : list_(list) {
  DWORD process = 0;
  GetWindowThreadProcessId(list, &process);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
  if (process_)
    remote_ = VirtualAllocEx(process_, nullptr, sizeof(LVITEMW) + kCellChars * sizeof(wchar_t),
                             MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteListView::~RemoteListView() {
  if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

int RemoteListView::Rows() const {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count)) return 0;
  return static_cast<int>(count);
}

std::string RemoteListView::Cell(int row, int column) const {
  if (!remote_) return {};
  auto* text = reinterpret_cast<wchar_t*>(static_cast<char*>(remote_) + sizeof(LVITEMW));
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = kCellChars;
  if (!WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr)) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_),
                           SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
    return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length && !ReadProcessMemory(process_, text, wide.data(), length * sizeof(wchar_t), nullptr)) return {};
  return WideToGbk(wide);
}

HWND WaitForMessageBox(DWORD process, const std::string& caption, DWORD timeoutMs) {
  HWND box = nullptr;
  // A box still being built has no caption yet.
  WaitFor(
      [&] {
        box = TopLevelOf(process, L"#32770");
        return box && GetControlText(box) == caption;
      },
      timeoutMs);
  return box && GetControlText(box) == caption ? box : nullptr;
}

std::string MessageText(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (WindowClassName(child) == "Static" && !GetControlText(child).empty()) return GetControlText(child);
  return {};
}

bool AnswerMessageBox(HWND box, int button, DWORD timeoutMs) {
  PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
  return WaitFor([&] { return !IsWindow(box); }, timeoutMs);
}

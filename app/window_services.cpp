// What the command files use of the window: its boxes' text, the status line with its tooltip and
// clock, the taskbar button's progress, questions to the user, and the message pump that keeps the
// window answering during long work on its thread. Nothing here calls a command.
#include "app/main_window.h"

#include <commctrl.h>

#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/taskbar_progress.h"

namespace {

// The status line's tool in its tooltip: the label itself.
TTTOOLINFOW StatusTool(HWND label, wchar_t* text) {
  TTTOOLINFOW tool{};
  // The size every version of the common controls takes (the program asks for none in particular).
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(label);
  tool.uId = reinterpret_cast<UINT_PTR>(label);
  tool.lpszText = text;
  return tool;
}

}  // namespace

std::string MainWindow::BoxText(Control control) const {
  HWND box = this->control(control);
  return box ? GetControlText(box) : std::string();
}

std::string MainWindow::StampStatus(const std::string& message) const { return clock_.Stamp(message); }

void MainWindow::ShowStatus(const std::string& message) { SetStatusLine(StampStatus(message)); }

// Without a window there is no button to show it on.
ProgressDisplay& MainWindow::Progress() {
  struct Nowhere final : ProgressDisplay {
    void ShowProgress(int, int, bool) override {}
    void EndProgress() override {}
  };
  static Nowhere nowhere;
  if (config_.progress) return *config_.progress;
  return taskbar_ ? *taskbar_ : static_cast<ProgressDisplay&>(nowhere);
}

void MainWindow::SetStatusLine(const std::string& line) {
  HWND label = control(Control::岚栩_tim);
  if (!label) return;
  SetLabelTextFitted(label, line);
  if (!statusTip_) return;
  std::wstring whole = GbkToWide(line);
  TTTOOLINFOW tool = StatusTool(label, whole.data());
  SendMessageW(statusTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::CreateStatusTip() {
  HWND label = control(Control::岚栩_tim);
  if (!label) return;
  statusTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
  if (!statusTip_) return;
  wchar_t empty[] = L"";
  TTTOOLINFOW tool = StatusTool(label, empty);
  SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  // A long line wraps within the label's width instead of running across the screen.
  RECT r{};
  GetWindowRect(label, &r);
  SendMessageW(statusTip_, TTM_SETMAXTIPWIDTH, 0, r.right - r.left);
}

int MainWindow::Ask(const std::string& text, UINT buttons, const std::string& caption) {
  return AskUser(config_.answer, MessageBoxRequest{text, caption, buttons, nullptr});
}

// Long work on the window's thread lets the window answer meanwhile; other threads have no windows
// of ours to serve.
bool MainWindow::PumpPendingMessages() {
  if (GetCurrentThreadId() != windowThread_) return true;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {  // leave it for the message loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (!window_ || !IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

// The window itself: its creation and message loop, and the window procedure, which hands each
// message to a named handler and clicks, hot keys and batch files to the handlers the binding tables
// name. Only start-up calls into this file; no command does.
#include "app/main_window.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "app/help_picture.h"
#include "app/subsystem_hooks.h"
#include "batch/batch_file.h"
#include "effects/ease_animator.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/folders.h"
#include "runtime/program_dir.h"
#include "runtime/taskbar_progress.h"
#include "runtime/ui_task.h"

namespace {

constexpr int kFirstHotKeyId = 33001;
constexpr UINT kOuterWidth = 880;
constexpr UINT kOuterHeight = 700;
// Closing the window ends a running save at once (its exchanges are cut off) and gives it this long
// to finish; the process then ends in well under a second, with no file half written.
constexpr unsigned kCloseSaveWaitMs = 500;

constexpr char kWelcomeText[] =
    "欢迎使用【岚栩】- 货图匣 V3.0版本\r\n\r\n此版本聚合了主流电商平台的图片数据下载\r\n\r\n"
    "为了能更好的获取图片，请务必输入Cookie\r\n\r\n本工具免费使用，下载的数据仅供参考学习\r\n\r\n"
    "使用本工具造成的一切后果均由使用者自行承担\r\n\r\n请于下载后24小时内删除本工具\r\n\r\n"
    "默认已添加修改图片MD5功能\r\n\r\n如您进行使用本工具则为默认同意以上内容\r\n\r\n作者：岚栩";
constexpr char kWelcomeCaption[] = "【岚栩】- 这是一个提示！";

std::wstring MainWindowCaption() {
  return GbkToWide("【岚栩】- 货图匣合集 V3.1   【电商图片一键下载，仅供学习交流】   作者：岚栩");
}

}  // namespace

std::string DefaultOutputRoot() { return ProgramDirectory() + "\\岚栩图片工具箱\\"; }

MainWindow::MainWindow(WindowConfig config)
    : config_(std::move(config)), outputRoot_(config_.outputRoot.empty() ? DefaultOutputRoot() : config_.outputRoot) {}

MainWindow::~MainWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

// Nothing thrown may cross into Windows: a handler that fails leaves the message to the default
// procedure (and a window that cannot be built is not created).
LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->HandleMessage(msg, wp, lp);
  } catch (...) {
    if (msg == WM_CREATE) return -1;
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const HWND hwnd = window_;  // WM_NCDESTROY lets go of it
  if (msg == UiTaskMessage()) {
    RunUiTask(lp);
    return 0;
  }
  switch (msg) {
    case WM_CREATE:
      return OnCreate(*reinterpret_cast<CREATESTRUCTW*>(lp)) ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return OnCtlColor(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_HOTKEY:
      OnHotKeyMessage(static_cast<int>(wp));
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void MainWindow::ShowHelpPicture() {
  helpBitmap_.reset(LoadHelpPictureBitmap(838, 342));
  if (helpBitmap_)
    SendMessageW(control(Control::图片框1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(helpBitmap_.get()));
}

bool MainWindow::OnCreate(const CREATESTRUCTW& create) {
  CreateControls(create.hInstance);
  // The help panel slides over the other controls, so it must paint above them.
  SetWindowPos(control(Control::帮助分组), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  CreateStatusTip();
  if (!config_.progress) taskbar_ = std::make_unique<TaskbarProgress>(window_);
  // A batch file dropped from the file browser starts a batch.
  DragAcceptFiles(window_, TRUE);
  return true;
}

LRESULT MainWindow::OnCtlColor(UINT msg, HDC dc, HWND control) {
  if (control == this->control(Control::cookie值)) {
    SetTextColor(dc, RGB(0, 128, 0));
    SetBkColor(dc, RGB(0, 0, 0));
    if (!cookieBackground_) cookieBackground_.reset(CreateSolidBrush(RGB(0, 0, 0)));
    return reinterpret_cast<LRESULT>(cookieBackground_.get());
  }
  if (msg == WM_CTLCOLORSTATIC &&
      (control == this->control(Control::透明标签2) || control == this->control(Control::tis1))) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcW(window_, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void MainWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  for (const CommandBinding& b : CommandBindings())
    if (ControlCommandId(b.control) == id && b.clicked) {
      if (activity() == Activity::Batch && !b.duringBatch) return;
      (this->*b.clicked)();
      return;
    }
}

// The hot keys are registered for the main window itself.
void MainWindow::OnHotKeyMessage(int id) { OnHotKey(id, 0); }

void MainWindow::OnHotKey(int hotKeyId, int) {
  // A registration that failed left its identifier at 0; no key may match that.
  if (hotKeyId == 0) return;
  const std::span<const HotKeyBinding> bindings = HotKeyBindings();
  for (size_t i = 0; i < hotKeyIds_.size() && i < bindings.size(); ++i)
    if (hotKeyIds_[i] == hotKeyId && bindings[i].pressed) {
      (this->*bindings[i].pressed)();
      return;
    }
}

int MainWindow::HotKeyId(UINT virtualKey) const {
  const std::span<const HotKeyBinding> bindings = HotKeyBindings();
  for (size_t i = 0; i < hotKeyIds_.size() && i < bindings.size(); ++i)
    if (bindings[i].virtualKey == virtualKey) return hotKeyIds_[i];
  return 0;
}

// The first file dropped is a batch file.
void MainWindow::OnDropFiles(HDROP drop) {
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length, L'\0');
  if (length > 0) DragQueryFileW(drop, 0, path.data(), length + 1);
  DragFinish(drop);
  if (path.empty()) return;
  std::string bytes;
  if (!ReadSmallFile(path, kMaxBatchFileBytes, bytes)) {
    ShowStatus("无法读取批量文件：" + WideToGbk(path));
    return;
  }
  (this->*BatchFileBinding())(bytes);
}

void MainWindow::OnDestroy() {
  // An extraction under way (this close came through its message pump) ends at once and delivers
  // nothing more.
  closing_->Request();
  gate_.NoteCleared();
  // A save still running is stopped and waited for (with a bound), so that the process never ends
  // in the middle of a file; past the bound its worker writes nothing more.
  if (save_) save_->StopAndWait(kCloseSaveWaitMs);
  // The animators outlive the window; they must not call back into it.
  for (int slot : {kHelpPanelSlot, kWindowWidthSlot})
    if (EaseAnimator* animator = EasingSlot(slot)) animator->SetInterval(0);
  PostQuitMessage(0);
}

void MainWindow::OnNcDestroy() {
  DiscardUiTasks(window_);
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  window_ = nullptr;
  statusTip_ = nullptr;  // destroyed with its owner
  for (HWND& c : controls_) c = nullptr;
  cookieBackground_.reset();
  helpBitmap_.reset();
  taskbar_.reset();
}

int MainWindow::RegisterSystemHotKey(UINT virtualKey) {
  const int id = nextHotKeyId_++;
  return RegisterHotKey(window_, id, 0, virtualKey) ? id : 0;
}

void MainWindow::RunCreatedHandler() {
  ApplyWindowSkin(window_);
  Ask(kWelcomeText, MB_OK, kWelcomeCaption);
  // The help panel lies out of sight until asked for: its picture is decoded after the welcome box.
  ShowHelpPicture();
  ClearBrowserPanelCookies(control(Control::精易Web浏览器1));
  EnsureFolder(outputRoot_);
  harvest_.outputFolder = outputRoot_;
  hotKeyIds_.clear();
  for (const HotKeyBinding& binding : HotKeyBindings()) hotKeyIds_.push_back(RegisterSystemHotKey(binding.virtualKey));
  if (!config_.cookie.empty()) SetControlText(control(Control::cookie值), config_.cookie);
  // Once the message loop runs: the batch's steps are tasks of the window.
  if (config_.batchFile)
    PostUiTask(window_, [this, bytes = *config_.batchFile] { (this->*BatchFileBinding())(bytes); });
}

bool MainWindow::Create(HINSTANCE instance) {
  if (window_) return false;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  const int left = (GetSystemMetrics(SM_CXSCREEN) - static_cast<int>(kOuterWidth)) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - static_cast<int>(kOuterHeight)) / 2;
  nextHotKeyId_ = kFirstHotKeyId;
  windowThread_ = GetCurrentThreadId();
  if (!CreateWindowExW(0, kMainWindowClass, MainWindowCaption().c_str(),
                       WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top,
                       kOuterWidth, kOuterHeight, nullptr, nullptr, instance, this))
    return false;
  // No UpdateWindow: the welcome box's own message loop paints the window, already skinned, instead
  // of a first unskinned paint that the skin then repaints.
  ShowWindow(window_, SW_SHOW);
  RunCreatedHandler();
  return true;
}

int MainWindow::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!window_ || !IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

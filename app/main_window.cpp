// The window itself: its layout table and creation loop, the message dispatch (clicks and hot keys
// through the binding tables), the box text and status line the command files use, and the message
// pump for long work on the window's thread.
#include "app/main_window.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "app/help_picture.h"
#include "app/subsystem_hooks.h"
#include "effects/ease_animator.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/folders.h"
#include "runtime/program_dir.h"
#include "runtime/taskbar_progress.h"
#include "runtime/ui_task.h"
#include "runtime/window_subclass.h"

namespace {

enum class Kind { GroupBox, Browser, Button, Edit, TransparentLabel, Label, ListView, PictureBox };

constexpr int kWindow = -1;  // parent: the main window itself

struct ControlLayout {
  Control name;
  Kind kind;
  int parent;  // a Control as int, or kWindow
  int x, y, width, height;
  const char* caption;  // GBK
  DWORD style;          // besides WS_CHILD | WS_VISIBLE
  DWORD exStyle;
};

constexpr DWORD kTab = WS_TABSTOP;
constexpr DWORD kMultiLine = ES_MULTILINE | ES_AUTOVSCROLL;
constexpr int P(Control c) { return static_cast<int>(c); }
const char* ButtonOf(Platform platform) { return PlatformRowOf(platform).buttonName; }

// The window's controls in creation order, which is also the tab order.
const ControlLayout kLayout[] = {
    {Control::分组框1, Kind::GroupBox, kWindow, 8, 8, 368, 482, " 【Cookie控制台】 ", 0, WS_EX_CONTROLPARENT},
    {Control::精易Web浏览器1, Kind::Browser, P(Control::分组框1), 10, 16, 346, 408, "", kTab, 0},
    {Control::载入淘宝, Kind::Button, P(Control::分组框1), 10, 433, 174, 40, "载入淘宝", kTab, 0},
    {Control::载入阿里, Kind::Button, P(Control::分组框1), 194, 433, 158, 40, "载入阿里", kTab, 0},
    {Control::分组框2, Kind::GroupBox, kWindow, 8, 496, 368, 168, " 【Cookie】 ", 0, WS_EX_CONTROLPARENT},
    {Control::cookie值, Kind::Edit, P(Control::分组框2), 8, 16, 352, 144, "",
     kMultiLine | WS_VSCROLL | WS_BORDER | kTab, 0},
    {Control::分组框3, Kind::GroupBox, kWindow, 384, 8, 480, 192, " 【Images数据控制台】 ", 0, WS_EX_CONTROLPARENT},
    {Control::透明标签2, Kind::TransparentLabel, P(Control::分组框3), 8, 27, 64, 24, "宝贝链接：", 0, WS_EX_TRANSPARENT},
    {Control::url, Kind::Edit, P(Control::分组框3), 64, 27, 404, 24, "", ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE},
    {Control::淘宝_按钮, Kind::Button, P(Control::分组框3), 8, 65, 100, 32, ButtonOf(Platform::Taobao), kTab, 0},
    {Control::天猫_按钮, Kind::Button, P(Control::分组框3), 128, 64, 100, 32, ButtonOf(Platform::Tmall), kTab, 0},
    {Control::阿里_按钮, Kind::Button, P(Control::分组框3), 248, 64, 100, 32, ButtonOf(Platform::Alibaba), kTab, 0},
    {Control::京东_按钮, Kind::Button, P(Control::分组框3), 368, 64, 100, 32, ButtonOf(Platform::Jd), kTab, 0},
    {Control::数据_下载, Kind::Button, P(Control::分组框3), 8, 108, 100, 32, "下载数据", kTab, 0},
    {Control::数据_清空, Kind::Button, P(Control::分组框3), 129, 108, 100, 32, "清空数据", kTab, 0},
    {Control::帮助, Kind::Button, P(Control::分组框3), 249, 108, 100, 32, "使用帮助", kTab, 0},
    {Control::tis1, Kind::TransparentLabel, P(Control::分组框3), 8, 155, 80, 24, "操作提示信息：", 0, WS_EX_TRANSPARENT},
    // Notifying, the status line takes the mouse itself, which its tooltip needs.
    {Control::岚栩_tim, Kind::Label, P(Control::分组框3), 96, 155, 373, 24, "", SS_NOPREFIX | SS_NOTIFY, 0},
    {Control::分组框8, Kind::GroupBox, kWindow, 384, 208, 480, 456, " 【Images数据链接】 ", 0, WS_EX_CONTROLPARENT},
    {Control::images_列表框, Kind::ListView, P(Control::分组框8), 8, 21, 464, 427, "",
     LVS_REPORT | LVS_SHOWSELALWAYS | kTab, WS_EX_CLIENTEDGE},
    {Control::帮助分组, Kind::GroupBox, kWindow, 8, 688, 856, 384, " 【使用说明】 ", 0, WS_EX_CONTROLPARENT},
    {Control::图片框1, Kind::PictureBox, P(Control::帮助分组), 8, 18, 838, 342, "", SS_BITMAP | WS_CLIPCHILDREN,
     WS_EX_CONTROLPARENT},
    {Control::tok, Kind::Button, P(Control::图片框1), 720, 303, 108, 40, "我知道了！", kTab, 0},
    {Control::测试, Kind::Edit, kWindow, 891, 8, 312, 152, "", kMultiLine | WS_VSCROLL | WS_DISABLED, WS_EX_CLIENTEDGE},
    {Control::详情数据, Kind::Edit, kWindow, 891, 168, 312, 72, "", kMultiLine, WS_EX_CLIENTEDGE},
    {Control::文本数据, Kind::Edit, kWindow, 891, 248, 312, 168, "", kMultiLine | WS_VSCROLL, WS_EX_CLIENTEDGE},
    {Control::参数文本, Kind::Edit, kWindow, 889, 424, 312, 168, "", kMultiLine | WS_VSCROLL, WS_EX_CLIENTEDGE},
    {Control::标签1, Kind::Label, kWindow, 1168, 640, 40, 24, "", 0, 0},
};
static_assert(std::size(kLayout) == static_cast<size_t>(Control::Count));

struct ListColumn {
  const char* title;
  int width;
};
const ListColumn kListColumns[] = {{"序号", 45}, {"图片Url", 315}, {"图片类型", 96}};

constexpr int kFirstControlId = 1001;
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

const wchar_t* ClassOf(Kind kind) {
  switch (kind) {
    case Kind::GroupBox:
    case Kind::Button: return L"BUTTON";
    case Kind::Edit: return L"EDIT";
    case Kind::TransparentLabel:
    case Kind::Label:
    case Kind::PictureBox: return L"STATIC";
    case Kind::ListView: return WC_LISTVIEWW;
    case Kind::Browser: return L"STATIC";
  }
  return L"STATIC";
}

DWORD KindStyle(Kind kind) {
  switch (kind) {
    case Kind::GroupBox: return BS_GROUPBOX;
    case Kind::Button: return BS_PUSHBUTTON;
    // A label keeps to its one line; a text a little wider than the label is clipped, not wrapped.
    case Kind::TransparentLabel:
    case Kind::Label: return SS_LEFTNOWORDWRAP;
    default: return 0;
  }
}

// Whether the main window does anything with a message its containers receive from their
// children: the clicks bound to its handlers (see OnCommand) and the colours of its boxes and
// labels (see OnCtlColor).
bool MainWindowActsOn(UINT msg, WPARAM wp) {
  switch (msg) {
    case WM_COMMAND: return HIWORD(wp) == BN_CLICKED;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return true;
  }
  return false;
}

// Containers (group boxes, the picture box) pass on to the main window the messages of their
// children it acts on; a group box would otherwise swallow its buttons' clicks. Nothing else goes
// on: a list view being filled notifies its container of every row, and the main window would
// only have handed each to its default procedure.
LRESULT CALLBACK ForwardToMainWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
WindowSubclasses<HWND> g_containers(ForwardToMainWindow);  // each container's main window

LRESULT CALLBACK ForwardToMainWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  return g_containers.Dispatch(hwnd, msg, wp, lp, [&](const WindowSubclasses<HWND>::Entry& container) {
    if (MainWindowActsOn(msg, wp) && IsWindow(container.state)) return SendMessageW(container.state, msg, wp, lp);
    return CallWindowProcW(container.previous, hwnd, msg, wp, lp);
  });
}

// Ctrl+A selects a box's whole text, which the edit control does not do in every box nor on every
// system. The character the keys type (0x01) is no text.
LRESULT CALLBACK SelectAllOnCtrlA(HWND edit, UINT msg, WPARAM wp, LPARAM lp) noexcept;
struct NoState {};
WindowSubclasses<NoState> g_editBoxes(SelectAllOnCtrlA);

LRESULT CALLBACK SelectAllOnCtrlA(HWND edit, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  return g_editBoxes.Dispatch(edit, msg, wp, lp, [&](const WindowSubclasses<NoState>::Entry& box) -> LRESULT {
    if (msg == WM_KEYDOWN && wp == 'A' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
      SendMessageW(edit, EM_SETSEL, 0, -1);
      return 0;
    }
    if (msg == WM_CHAR && wp == 0x01) return 0;
    return CallWindowProcW(box.previous, edit, msg, wp, lp);
  });
}

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

std::wstring MainWindowCaption() {
  return GbkToWide("【岚栩】- 货图匣合集 V3.1   【电商图片一键下载，仅供学习交流】   作者：岚栩");
}

}  // namespace

int ControlCommandId(Control control) { return kFirstControlId + static_cast<int>(control); }

std::string DefaultOutputRoot() { return ProgramDirectory() + "\\岚栩图片工具箱\\"; }

MainWindow::MainWindow(WindowConfig config)
    : config_(std::move(config)), outputRoot_(config_.outputRoot.empty() ? DefaultOutputRoot() : config_.outputRoot) {}

MainWindow::~MainWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

HWND MainWindow::control(Control control) const {
  const size_t i = static_cast<size_t>(control);
  return i < std::size(controls_) ? controls_[i] : nullptr;
}

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

HWND MainWindow::CreateControl(int index, HINSTANCE instance) {
  const ControlLayout& c = kLayout[index];
  HWND parent = c.parent == kWindow ? window_ : controls_[static_cast<size_t>(c.parent)];
  const int id = ControlCommandId(c.name);
  if (c.kind == Kind::Browser)
    return CreateBrowserPanel(parent, c.x, c.y, c.width, c.height, id, config_.hosts.taobaoLoginPage, config_.answer);
  DWORD style = WS_CHILD | WS_VISIBLE | KindStyle(c.kind) | c.style;
  if (c.parent == kWindow) style |= WS_CLIPSIBLINGS;
  HWND hwnd = CreateWindowExW(c.exStyle, ClassOf(c.kind), GbkToWide(c.caption).c_str(), style, c.x, c.y,
                              c.width, c.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              instance, nullptr);
  if (!hwnd) return nullptr;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // Edit boxes hold whole pages and long text lists: no length limit beyond the system's own.
  if (c.kind == Kind::Edit) {
    SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
    g_editBoxes.Attach(hwnd, {});
  }
  if (c.kind == Kind::GroupBox || c.kind == Kind::PictureBox)
    g_containers.Attach(hwnd, window_);
  if (c.kind == Kind::ListView) {
    SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    int index = 0;
    for (const ListColumn& col : kListColumns) {
      std::wstring title = GbkToWide(col.title);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.pszText = title.data();
      column.cx = col.width;
      column.iSubItem = index;
      SendMessageW(hwnd, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&column));
    }
  }
  return hwnd;
}

void MainWindow::ShowHelpPicture() {
  helpBitmap_.reset(LoadHelpPictureBitmap(838, 342));
  if (helpBitmap_)
    SendMessageW(control(Control::图片框1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(helpBitmap_.get()));
}

bool MainWindow::OnCreate(const CREATESTRUCTW& create) {
  for (int i = 0; i < static_cast<int>(std::size(kLayout)); ++i)
    controls_[static_cast<size_t>(kLayout[i].name)] = CreateControl(i, create.hInstance);
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
      if (batch_ && !b.duringBatch) return;
      (this->*b.clicked)();
      return;
    }
}

// The hot keys were registered for the label 标签1: its feedback event receives them.
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
  if (config_.batchFile) PostUiTask(window_, [this, bytes = *config_.batchFile] { StartBatch(bytes); });
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

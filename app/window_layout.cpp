// The window's controls as one table (name, kind, parent, rectangle, caption, style), walked by
// one creation loop, and the procedures the containers and edit boxes get in front of their own.
#include "app/main_window.h"

#include <commctrl.h>

#include "app/subsystem_hooks.h"
#include "runtime/codepage.h"
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

}  // namespace

int ControlCommandId(Control control) { return kFirstControlId + static_cast<int>(control); }

void MainWindow::CreateControls(HINSTANCE instance) {
  for (int i = 0; i < static_cast<int>(std::size(kLayout)); ++i)
    controls_[static_cast<size_t>(kLayout[i].name)] = CreateControl(i, instance);
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

#pragma once
// The program's one window and its controls, addressed by their layout names.

#include <windows.h>

#include <string>

// In layout order (which is also the tab order).
enum class Control : int {
  分组框1,
  精易Web浏览器1,
  载入淘宝,
  载入阿里,
  分组框2,
  cookie值,
  分组框3,
  透明标签2,
  url,
  淘宝_按钮,
  天猫_按钮,
  阿里_按钮,
  京东_按钮,
  数据_下载,
  数据_清空,
  帮助,
  tis1,
  岚栩_tim,
  分组框8,
  images_列表框,
  帮助分组,
  图片框1,
  tok,
  测试,
  详情数据,
  文本数据,
  参数文本,
  标签1,
  Count
};

inline constexpr wchar_t kMainWindowClass[] = L"Lzv - E-commerce picture tool";

// The main window once created (null before and after).
HWND MainWindowHandle();
// A control of the main window (null when the window does not exist).
HWND ControlHandle(Control control);
// The command identifier of a control (its WM_COMMAND id).
int ControlCommandId(Control control);

// Creates and shows the main window; the created handler runs inside (welcome message included).
// Returns null on failure.
HWND CreateMainWindow(HINSTANCE instance);
// Runs the message loop until the main window is closed; returns the exit code.
int RunMessageLoop();

// Identifiers of the system-wide hot keys Page Up and Page Down (0 when registration failed).
int ExpandHotKeyId();
int CollapseHotKeyId();

// The program directory followed by "\\岚栩图片工具箱\\" (GBK).
std::string OutputRoot();

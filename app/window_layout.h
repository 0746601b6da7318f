#pragma once
// The main window's controls, named as its layout table names them, and their command identifiers.

#include <windows.h>

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

// The command identifier of a control (its WM_COMMAND id).
int ControlCommandId(Control control);

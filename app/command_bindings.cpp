// The event bindings: which handler each control's click and each system-wide hot key runs. The
// window walks these tables; they are the one place that names the command handlers.
#include "app/main_window.h"

std::span<const MainWindow::CommandBinding> MainWindow::CommandBindings() {
  static const CommandBinding kBindings[] = {
      {Control::淘宝_按钮, &MainWindow::ExtractTaobaoItem},
      {Control::天猫_按钮, &MainWindow::ExtractTmallItem},
      {Control::京东_按钮, &MainWindow::ExtractJdItem},
      {Control::阿里_按钮, &MainWindow::ExtractAlibabaItem},
      {Control::数据_下载, &MainWindow::StartSave},
      {Control::数据_清空, &MainWindow::ClearData},
      {Control::帮助, &MainWindow::ShowHelp},
      {Control::tok, &MainWindow::HideHelp},
      {Control::载入淘宝, &MainWindow::LoadTaobaoLogin},
      {Control::载入阿里, &MainWindow::LoadAlibabaLogin},
  };
  return kBindings;
}

std::span<const MainWindow::HotKeyBinding> MainWindow::HotKeyBindings() {
  static const HotKeyBinding kBindings[] = {
      {VK_PRIOR, &MainWindow::WidenWindow},
      {VK_NEXT, &MainWindow::NarrowWindow},
  };
  return kBindings;
}

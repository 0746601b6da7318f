// The event bindings: which handler each control's click runs.
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

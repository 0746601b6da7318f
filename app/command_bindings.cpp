// The event bindings: which handler each control's click, each system-wide hot key and a batch file
// runs, and which clicks a running batch ignores. The window walks these tables; they are the one
// place that names the command handlers.
#include "app/main_window.h"

std::span<const MainWindow::CommandBinding> MainWindow::CommandBindings() {
  static const CommandBinding kBindings[] = {
      {Control::淘宝_按钮, &MainWindow::ExtractTaobaoItem, false},
      {Control::天猫_按钮, &MainWindow::ExtractTmallItem, false},
      {Control::京东_按钮, &MainWindow::ExtractJdItem, false},
      {Control::阿里_按钮, &MainWindow::ExtractAlibabaItem, false},
      {Control::数据_下载, &MainWindow::StartSave, false},
      {Control::数据_清空, &MainWindow::ClearData, false},
      {Control::帮助, &MainWindow::ShowHelp},
      {Control::tok, &MainWindow::HideHelp},
      // A login empties the cookie box, which the batch's further items still read.
      {Control::载入淘宝, &MainWindow::LoadTaobaoLogin, false},
      {Control::载入阿里, &MainWindow::LoadAlibabaLogin, false},
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

MainWindow::BatchFileHandler MainWindow::BatchFileBinding() { return &MainWindow::StartBatch; }

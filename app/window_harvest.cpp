// The item harvest as the window keeps it: picture rows in images_列表框, text lines in 文本数据,
// the description URL and page in 详情数据 and 测试, the item id and video address in the window.
#include "app/main_window.h"

#include <commctrl.h>

#include <string>

#include "runtime/controls.h"

void MainWindow::PublishPictures(const TextList& urls, const std::string& kindLabel) {
  HWND list = control(Control::images_列表框);
  if (!list) return;
  int kindCounter = 0;
  for (const std::string& url : urls) {
    const int row = ListViewAppendRow(list, {"", url, kindLabel + std::to_string(++kindCounter)});
    if (row < 0) continue;
    // The row number is the index the list gave the new row, so it continues across runs.
    const std::string number = std::to_string(row + 1);
    LVITEMW item{};
    std::wstring wide(number.begin(), number.end());
    item.iSubItem = 0;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
}

void MainWindow::AppendLines(const TextList& lines) {
  for (const std::string& line : lines) AppendText(line + "\r\n");
}

void MainWindow::AppendText(const std::string& text) {
  if (HWND edit = control(Control::文本数据)) AppendEditText(edit, text);
}

void MainWindow::SetDescriptionUrl(const std::string& url) {
  if (HWND edit = control(Control::详情数据)) SetControlText(edit, url);
}

void MainWindow::SetDescriptionPage(const std::string& page) {
  if (HWND edit = control(Control::测试)) SetControlText(edit, page);
}

void MainWindow::SetItemId(const std::string& id) { harvest_.itemId = id; }

void MainWindow::SetVideoUrl(const std::string& url) { harvest_.videoUrl = url; }

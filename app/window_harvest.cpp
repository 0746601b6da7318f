#include "app/window_harvest.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/main_window.h"
#include "runtime/controls.h"

void PublishPictures(const TextList& urls, const std::string& kindLabel) {
  HWND list = ControlHandle(Control::images_列表框);
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

void AppendLines(const TextList& lines) {
  HWND edit = ControlHandle(Control::文本数据);
  if (!edit) return;
  for (const std::string& line : lines) AppendEditText(edit, line + "\r\n");
}

void WindowHarvestSink::AppendText(const std::string& text) {
  if (HWND edit = ControlHandle(Control::文本数据)) AppendEditText(edit, text);
}

void WindowHarvestSink::SetDescriptionUrl(const std::string& url) {
  if (HWND edit = ControlHandle(Control::详情数据)) SetControlText(edit, url);
}

void WindowHarvestSink::SetDescriptionPage(const std::string& page) {
  if (HWND edit = ControlHandle(Control::测试)) SetControlText(edit, page);
}

void WindowHarvestSink::PublishPictures(const TextList& urls, const std::string& kindLabel) {
  ::PublishPictures(urls, kindLabel);
}

void WindowHarvestSink::SetItemId(const std::string& id) { ::SetItemId(id); }

void WindowHarvestSink::SetVideoUrl(const std::string& url) { ::SetVideoUrl(url); }

// The item harvest as the window keeps it: picture rows in images_列表框, text lines in 文本数据,
// the description URL and page in 详情数据 and 测试, the item id and video address in the window.
#include "app/main_window.h"

#include <commctrl.h>

#include <string>

#include "runtime/controls.h"
#include "text/text_items.h"

namespace {

constexpr size_t kDescriptionPageShownBytes = 4096;

}  // namespace

// The row number is the index the list gives the new row, so it continues across runs. Rows are
// appended, so the number is known before the row goes in; a row the list put elsewhere is
// renumbered.
void MainWindow::PublishPictures(const TextList& urls, const std::string& kindLabel) {
  HWND list = control(Control::images_列表框);
  if (!list) return;
  int next = ListViewRowCount(list);
  int kindCounter = 0;
  for (const std::string& url : urls) {
    const int row = ListViewAppendRow(list, {std::to_string(next + 1), url, kindLabel + std::to_string(++kindCounter)});
    if (row < 0) continue;
    if (row != next) {
      const std::string number = std::to_string(row + 1);
      LVITEMW item{};
      std::wstring wide(number.begin(), number.end());
      item.iSubItem = 0;
      item.pszText = wide.data();
      SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    next = row + 1;
  }
}

// The lines are joined and go in with one replace: each replace makes the box lay out its whole
// text again.
void MainWindow::AppendLines(const TextList& lines) {
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append("\r\n");
  AppendText(joined);
}

// The rows of a run go in with the list's repainting held, and it repaints once at the end
// (WM_SETREDRAW, then one invalidation, as its documentation asks).
void MainWindow::DeliveryStarts() {
  if (HWND list = control(Control::images_列表框)) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
}

void MainWindow::DeliveryEnds() {
  HWND list = control(Control::images_列表框);
  if (!list) return;
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void MainWindow::AppendText(const std::string& text) {
  if (HWND edit = control(Control::文本数据)) AppendEditText(edit, text);
}

void MainWindow::SetDescriptionUrl(const std::string& url) {
  if (HWND edit = control(Control::详情数据)) SetControlText(edit, url);
}

// The box is disabled: it shows the page's first lines and can be neither scrolled nor read back.
// Laying out a long page there would take the edit control seconds to minutes, so only its start
// goes in, more than the box can show.
void MainWindow::SetDescriptionPage(const std::string& page) {
  if (HWND edit = control(Control::测试)) SetControlText(edit, CharacterPrefix(page, kDescriptionPageShownBytes));
}

void MainWindow::SetItemId(const std::string& id) {
  harvest_.itemId = id;
  harvest_.videoName.clear();
}

void MainWindow::SetVideoUrl(const std::string& url) { harvest_.videoUrl = url; }

void MainWindow::SetVideoName(const std::string& name) { harvest_.videoName = name; }

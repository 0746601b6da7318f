// The item harvest as the window keeps it: picture rows in images_列表框, text lines in 文本数据,
// the description URL and page in 详情数据 and 测试, the item id and video address in the window.
#include "app/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "extract/harvest_bounds.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "text/text_items.h"

// The row number is the row's place in the list, so it continues across runs; a row the list put
// elsewhere is numbered by its place.
void MainWindow::PublishPictures(const TextList& urls, const std::string& kindLabel) {
  HWND list = control(Control::images_列表框);
  if (!list) return;
  std::optional<Delivery> loose;
  if (!delivery_) loose = LooseDelivery();
  Delivery& at = delivery_ ? *delivery_ : *loose;
  int kindCounter = 0;
  for (const std::string& url : urls) {
    const int next = at.nextRow;
    const int row = ListViewInsertRow(list, next, {std::to_string(next + 1), url, kindLabel + std::to_string(++kindCounter)});
    if (row < 0) continue;
    if (row != next) ListViewSetCell(list, row, 0, std::to_string(row + 1));
    at.nextRow = row + 1;
    ++harvest_.links[at.link].rows;
  }
}

// The lines are joined and go in with one replace: each replace makes the box lay out its whole
// text again.
void MainWindow::AppendLines(const TextList& lines) {
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append("\r\n");
  AppendText(joined);
}

// Pressing a button again for a link already harvested (after pasting a missing cookie, say)
// replaces what its earlier run put into the list and the text box, in its place; a link not yet
// harvested goes after the others. The rows of a run go in with the list's repainting held, and
// it repaints once at the end (WM_SETREDRAW, then one invalidation, as its documentation asks).
void MainWindow::DeliveryStarts() {
  HWND list = control(Control::images_列表框);
  HWND edit = control(Control::文本数据);
  if (list) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  std::vector<HarvestedLink>& links = harvest_.links;
  Delivery at;
  while (at.link < links.size() && (links[at.link].link.empty() || links[at.link].link != runLink_)) {
    at.nextRow += links[at.link].rows;
    at.textAt += links[at.link].text.size();
    ++at.link;
  }
  const std::wstring box = edit ? EditBoxText(edit) : std::wstring();
  if (at.link == links.size()) {
    links.push_back({runLink_, 0, {}});
    at.nextRow = list ? ListViewRowCount(list) : 0;
    at.textAt = box.size();
    delivery_ = at;
    return;
  }
  HarvestedLink& earlier = links[at.link];
  for (int i = 0; list && i < earlier.rows; ++i) ListViewDeleteRow(list, at.nextRow);
  // Lines changed by hand since stay as they are; the run's lines then go after everything.
  if (edit && box.compare(std::min(at.textAt, box.size()), earlier.text.size(), earlier.text) == 0)
    ReplaceEditRange(edit, at.textAt, at.textAt + earlier.text.size(), {});
  else
    at.textAt = box.size();
  earlier.rows = 0;
  earlier.text.clear();
  delivery_ = at;
}

// Rows after a replaced link's rows have moved: they are numbered by their place again.
void MainWindow::DeliveryEnds() {
  const std::optional<Delivery> ended = std::exchange(delivery_, std::nullopt);
  HWND list = control(Control::images_列表框);
  if (!list) return;
  if (ended && ended->link + 1 < harvest_.links.size()) {
    const int rows = ListViewRowCount(list);
    for (int row = ended->nextRow; row < rows; ++row) ListViewSetCell(list, row, 0, std::to_string(row + 1));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

// Rows and lines given outside a run's delivery go after everything, as no link's.
MainWindow::Delivery MainWindow::LooseDelivery() {
  std::vector<HarvestedLink>& links = harvest_.links;
  if (links.empty() || !links.back().link.empty()) links.push_back({});
  HWND list = control(Control::images_列表框);
  HWND edit = control(Control::文本数据);
  return {links.size() - 1, list ? ListViewRowCount(list) : 0, edit ? EditBoxText(edit).size() : 0};
}

size_t MainWindow::TextRoomFor(const std::string& link) const {
  size_t held = BoxText(Control::文本数据).size();
  for (const HarvestedLink& earlier : harvest_.links)
    if (earlier.link == link) held -= std::min(held, WideToGbk(earlier.text).size());
  return kMaxTextBytes - std::min(kMaxTextBytes, held);
}

void MainWindow::AppendText(const std::string& text) {
  HWND edit = control(Control::文本数据);
  if (!edit) return;
  std::optional<Delivery> loose;
  if (!delivery_) loose = LooseDelivery();
  Delivery& at = delivery_ ? *delivery_ : *loose;
  const std::wstring wide = GbkToWide(text);
  ReplaceEditRange(edit, at.textAt, at.textAt, wide);
  at.textAt += wide.size();
  harvest_.links[at.link].text += wide;
}

void MainWindow::SetDescriptionUrl(const std::string& url) {
  if (HWND edit = control(Control::详情数据)) SetControlText(edit, url);
}

// The box is disabled: it shows the page's first lines and can be neither scrolled nor read back.
// Laying out a long page there would take the edit control seconds to minutes, so only its start
// goes in, more than the box can show.
void MainWindow::SetDescriptionPage(const std::string& page) {
  if (HWND edit = control(Control::测试)) SetControlText(edit, CharacterPrefix(page, kShownPageBytes));
}

void MainWindow::SetItemId(const std::string& id) {
  harvest_.itemId = id;
  harvest_.videoName.clear();
}

void MainWindow::SetVideoUrl(const std::string& url) { harvest_.videoUrl = url; }

void MainWindow::SetVideoName(const std::string& name) { harvest_.videoName = name; }

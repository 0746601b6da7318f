#include "runtime/controls.h"

#include <climits>

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/handles.h"

std::string GetControlText(HWND control) { return WideToGbk(EditBoxText(control)); }

void SetControlText(HWND control, std::string_view text) {
  std::wstring wide = GbkToWide(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

namespace {

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::string SetLabelTextFitted(HWND label, std::string_view text) {
  std::wstring shown = GbkToWide(text);
  RECT client{};
  GetClientRect(label, &client);
  WindowDc dc(label);
  if (dc) {
    // Measured as the label draws: in its own font.
    SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    const int room = client.right - client.left;
    if (TextWidth(dc.get(), shown) > room) {
      const std::wstring ellipsis = L"\u2026";
      int fit = 0;
      SIZE size{};
      GetTextExtentExPointW(dc.get(), shown.data(), static_cast<int>(shown.size()),
                            std::max(0, room - TextWidth(dc.get(), ellipsis)), &fit, nullptr, &size);
      size_t keep = static_cast<size_t>(std::clamp(fit, 0, static_cast<int>(shown.size())));
      if (keep > 0 && IsHighSurrogate(shown[keep - 1])) --keep;
      shown = shown.substr(0, keep) + ellipsis;
    }
  }
  SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  return WideToGbk(shown);
}

std::wstring EditBoxText(HWND edit) {
  int n = static_cast<int>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = static_cast<int>(SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

void ReplaceEditRange(HWND edit, size_t start, size_t end, std::wstring_view text) {
  const std::wstring replacement(text);
  SendMessageW(edit, EM_SETSEL, start, end);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(replacement.c_str()));
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

int ListViewRowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string ListViewCell(HWND list, int row, int column) {
  // LVM_GETITEMTEXT answers with the copied length; grow until the text fits.
  for (int size = 512;; size *= 4) {
    std::vector<wchar_t> buf(static_cast<size_t>(size));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = size;
    int n = static_cast<int>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (n < size - 1 || size >= (1 << 22)) return WideToGbk(std::wstring(buf.data(), n > 0 ? n : 0));
  }
}

void ListViewSetCell(HWND list, int row, int column, std::string_view text) {
  std::wstring wide = GbkToWide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

int ListViewInsertRow(HWND list, int index, std::initializer_list<std::string_view> cells) {
  int column = 0;
  int row = -1;
  for (std::string_view cell : cells) {
    if (column == 0) {
      std::wstring wide = GbkToWide(cell);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = index;  // past the last row (INT_MAX): the list appends it
      item.pszText = wide.data();
      row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
      if (row < 0) return -1;
    } else {
      ListViewSetCell(list, row, column, cell);
    }
    ++column;
  }
  return row;
}

int ListViewAppendRow(HWND list, std::initializer_list<std::string_view> cells) {
  return ListViewInsertRow(list, INT_MAX, cells);
}

void ListViewDeleteRow(HWND list, int row) { SendMessageW(list, LVM_DELETEITEM, row, 0); }

void ListViewDeleteAll(HWND list) { SendMessageW(list, LVM_DELETEALLITEMS, 0, 0); }

#pragma once
// Reading and writing controls with GBK text. Safe to call from a worker thread: every call is a
// message the window system delivers to the control's own thread.

#include <windows.h>

#include <string>
#include <string_view>

std::string GetControlText(HWND control);
void SetControlText(HWND control, std::string_view text);

// Shows `text` in a one-line label: whole when it fits the label's width in the label's font,
// else as much of it as fits followed by "…" (whole characters only). Returns the text shown.
std::string SetLabelTextFitted(HWND label, std::string_view text);

// An edit box's text as the box counts its characters (UTF-16 units), for the call below.
std::wstring EditBoxText(HWND edit);
// Replaces the characters [start, end) of an edit box with `text`: caret after it, view scrolled
// to it.
void ReplaceEditRange(HWND edit, size_t start, size_t end, std::wstring_view text);

// Report-mode list view.
int ListViewRowCount(HWND list);
std::string ListViewCell(HWND list, int row, int column);  // rows and columns from 0
void ListViewSetCell(HWND list, int row, int column, std::string_view text);
// Inserts a row with the given cells before row `index` (at the end when there is no such row);
// returns its index (or -1).
int ListViewInsertRow(HWND list, int index, std::initializer_list<std::string_view> cells);
int ListViewAppendRow(HWND list, std::initializer_list<std::string_view> cells);
void ListViewDeleteRow(HWND list, int row);
void ListViewDeleteAll(HWND list);

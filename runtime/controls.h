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

// Appends at the end of an edit box: caret to the end, text inserted there, view scrolled to it.
void AppendEditText(HWND edit, std::string_view text);

// Report-mode list view.
int ListViewRowCount(HWND list);
std::string ListViewCell(HWND list, int row, int column);  // rows and columns from 0
// Inserts a row at the end with the given cells; returns its index (or -1).
int ListViewAppendRow(HWND list, std::initializer_list<std::string_view> cells);
void ListViewDeleteAll(HWND list);

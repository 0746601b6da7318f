#pragma once
// The program's window seen from another process, through the window system only: its controls by
// command identifier, the cells of its list view, and its message boxes.

#include <windows.h>

#include <functional>
#include <string>

#include "app/main_window.h"

// Polls `done` every 50 ms until it holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// Polls `state` every 250 ms until it gives the same non-empty text twice in a row (the window has
// settled), or `timeoutMs` has passed.
bool WaitUntilSettled(const std::function<std::string()>& state, DWORD timeoutMs);

// A control of the program's main window.
HWND ControlOf(HWND mainWindow, Control control);

// Presses a button and returns when its click handler has returned (false after timeoutMs).
bool PressButton(HWND button, DWORD timeoutMs);

// A list view of another process: its cells are read through a buffer inside that process, since
// the list view writes the text where the message's pointer points.
class RemoteListView {
 public:
  explicit RemoteListView(HWND list);
  ~RemoteListView();
  RemoteListView(const RemoteListView&) = delete;
  RemoteListView& operator=(const RemoteListView&) = delete;
  int Rows() const;
  std::string Cell(int row, int column) const;  // GBK; rows and columns from 0

 private:
  HWND list_;
  HANDLE process_ = nullptr;
  void* remote_ = nullptr;
};

// The message box of `process` with this caption (GBK), waited for at most timeoutMs; or null.
HWND WaitForMessageBox(DWORD process, const std::string& caption, DWORD timeoutMs);
// The text of a message box: its one static control with text.
std::string MessageText(HWND box);
// Presses a message box's button (IDOK, IDYES, IDNO, ...) and waits until the box has gone.
bool AnswerMessageBox(HWND box, int button, DWORD timeoutMs);

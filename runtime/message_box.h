#pragma once
#include <windows.h>

#include <functional>
#include <string>

// The pressed button, as the program's handlers read it.
enum MessageBoxResult : int {
  kPressedOk = 0,
  kPressedCancel = 1,
  kPressedAbort = 2,
  kPressedRetry = 3,
  kPressedIgnore = 4,
  kPressedYes = 5,
  kPressedNo = 6,
};

struct MessageBoxRequest {
  std::string text;     // GBK
  std::string caption;  // GBK
  UINT buttons = MB_OK; // MB_OK, MB_YESNO, ...
  HWND owner = nullptr;
};

// Every message box of the program goes through here. It is task-modal and returns the pressed
// button (kPressed...). Thread-safe: the saver asks its question from its worker thread.
int ShowMessageBox(const std::string& text, UINT buttons, const std::string& caption,
                   HWND owner = nullptr);

// Tests answer message boxes instead of a person: while a handler is set, ShowMessageBox hands it
// the request and returns its answer without showing anything. An empty function removes it.
void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);

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

// A task-modal system message box; returns the pressed button (kPressed...). Any thread may ask.
int ShowMessageBox(const std::string& text, UINT buttons, const std::string& caption,
                   HWND owner = nullptr);
int ShowMessageBox(const MessageBoxRequest& request);

// Whoever answers the program's questions: a person through the system's boxes, or a test.
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;
// `answer` when given, else the system's box.
int AskUser(const MessageBoxAnswerer& answer, const MessageBoxRequest& request);

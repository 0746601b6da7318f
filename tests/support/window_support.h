#pragma once
// Finding and measuring windows in window tests, and holding hot keys the way another program
// would.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/handles.h"
#include "runtime/progress_display.h"

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
// The window's class name (GBK).
std::string WindowClassName(HWND window);
// The first visible top-level window of `process` with the class `className`, or null.
HWND TopLevelOf(DWORD process, const wchar_t* className);
// The first descendant of `parent` with the command identifier `id`, or null.
HWND DescendantWithId(HWND parent, int id);

// The text a tooltip of this process has for `tool`, a window registered by its handle with the
// tool's parent as owner ("" when it has none).
std::string ToolTipText(HWND tooltip, HWND tool);

// Types a key (down and up) through the system's input, holding Ctrl when `ctrl` is set.
void TypeKey(WORD virtualKey, bool ctrl = false);

// Holds system-wide hot keys (no modifiers) on a thread of its own until destroyed, so the code
// under test finds them taken.
class HeldHotKeys {
 public:
  explicit HeldHotKeys(std::initializer_list<UINT> virtualKeys);
  ~HeldHotKeys();
  HeldHotKeys(const HeldHotKeys&) = delete;
  HeldHotKeys& operator=(const HeldHotKeys&) = delete;
  bool holdsAll() const { return holdsAll_; }

 private:
  void Hold();
  std::vector<UINT> keys_;
  UniqueHandle held_;
  UniqueHandle release_;
  bool holdsAll_ = false;
  UniqueHandle thread_;  // last: the thread uses every member before it
};

// What a save or a batch reports to the taskbar button, in order: "2/5", "3/5 failed", "end".
struct ProgressRecorder final : ProgressDisplay {
  std::vector<std::string> reports;
  void ShowProgress(int done, int total, bool failed) override {
    reports.push_back(std::to_string(done) + "/" + std::to_string(total) + (failed ? " failed" : ""));
  }
  void EndProgress() override { reports.push_back("end"); }
};

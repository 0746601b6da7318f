#pragma once
// The progress on a window's taskbar button (ITaskbarList3). Where the system has no such
// interface, or it fails, nothing is shown and nothing else changes.

#include <windows.h>
#include <shobjidl.h>

#include "runtime/handles.h"
#include "runtime/progress_display.h"

class TaskbarProgress final : public ProgressDisplay {
 public:
  // On the window's thread, which also makes every further call.
  explicit TaskbarProgress(HWND window);
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  void ShowProgress(int done, int total, bool failed) override;
  void EndProgress() override;

 private:
  ITaskbarList3* Taskbar();

  HWND window_;
  ScopedCoInitialize com_;  // declared first: the interface is released before COM ends
  ComPtr<ITaskbarList3> taskbar_;
  bool asked_ = false;  // the interface was asked for (once: a system without it stays without)
};

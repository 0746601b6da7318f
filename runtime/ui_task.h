#pragma once
// One path from any thread to a window's thread: a closure posted to the window as a message and
// run by its window procedure, on the window's own thread, in posting order.

#include <windows.h>

#include <functional>

using UiTask = std::function<void()>;

// The message that carries a task; the window procedure hands its lParam to RunUiTask.
UINT UiTaskMessage();
// Queues `task` for `window`. False, with the task dropped, when the window is gone.
bool PostUiTask(HWND window, UiTask task);
// Runs and frees the task a UiTaskMessage carries. A value that no PostUiTask made (another
// program can post any message to a window) is ignored.
void RunUiTask(LPARAM carried);
// Frees, without running them, the tasks still on their way to `window` (as it is destroyed).
void DiscardUiTasks(HWND window);

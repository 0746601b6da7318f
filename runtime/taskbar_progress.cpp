#include "runtime/taskbar_progress.h"

TaskbarProgress::TaskbarProgress(HWND window) : window_(window) {}

// Asked for at the first report rather than at start-up: the button exists by then. A system may
// not register the class, or answer a method with E_NOTIMPL (Wine does for some); each call's
// result is ignored, as the progress is a courtesy.
ITaskbarList3* TaskbarProgress::Taskbar() {
  if (!asked_) {
    asked_ = true;
    ComPtr<ITaskbarList3> taskbar;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                   reinterpret_cast<void**>(taskbar.put()))) &&
        SUCCEEDED(taskbar->HrInit()))
      taskbar_ = std::move(taskbar);
  }
  return taskbar_.get();
}

void TaskbarProgress::ShowProgress(int done, int total, bool failed) {
  ITaskbarList3* taskbar = Taskbar();
  if (!taskbar || !IsWindow(window_) || total <= 0) return;
  taskbar->SetProgressState(window_, failed ? TBPF_ERROR : TBPF_NORMAL);
  taskbar->SetProgressValue(window_, static_cast<ULONGLONG>(done < 0 ? 0 : done), static_cast<ULONGLONG>(total));
}

void TaskbarProgress::EndProgress() {
  if (ITaskbarList3* taskbar = Taskbar(); taskbar && IsWindow(window_)) taskbar->SetProgressState(window_, TBPF_NOPROGRESS);
}

#include "runtime/ui_task.h"

#include <map>
#include <memory>
#include <mutex>

namespace {

// Every task on its way, with its window: a message's lParam is run only when it is one of these.
// Neither is ever destroyed: a worker may still post while the process ends.
std::mutex& Lock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::map<UiTask*, HWND>& Pending() {
  static auto* pending = new std::map<UiTask*, HWND>;
  return *pending;
}

std::unique_ptr<UiTask> TakePending(UiTask* task) {
  std::lock_guard<std::mutex> lock(Lock());
  if (Pending().erase(task) == 0) return nullptr;
  return std::unique_ptr<UiTask>(task);
}

}  // namespace

UINT UiTaskMessage() {
  static const UINT message = RegisterWindowMessageW(L"PictureTool.UiTask");
  return message;
}

bool PostUiTask(HWND window, UiTask task) {
  auto owned = std::make_unique<UiTask>(std::move(task));
  UiTask* raw = owned.get();
  {
    std::lock_guard<std::mutex> lock(Lock());
    Pending().emplace(raw, window);
  }
  owned.release();
  if (PostMessageW(window, UiTaskMessage(), 0, reinterpret_cast<LPARAM>(raw))) return true;
  TakePending(raw);  // freed here: the message never left
  return false;
}

void RunUiTask(LPARAM carried) {
  std::unique_ptr<UiTask> task = TakePending(reinterpret_cast<UiTask*>(carried));
  if (task && *task) (*task)();
}

// The messages themselves go with the window; peeking them out here could take the thread's quit
// message along (a filtered PeekMessage does not always leave WM_QUIT alone).
void DiscardUiTasks(HWND window) {
  std::lock_guard<std::mutex> lock(Lock());
  for (auto it = Pending().begin(); it != Pending().end();) {
    if (it->second == window) {
      delete it->first;
      it = Pending().erase(it);
    } else {
      ++it;
    }
  }
}

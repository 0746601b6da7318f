#include "runtime/worker.h"

#include <memory>
#include <new>

namespace {

using Work = std::function<void()>;

DWORD WINAPI RunWork(void* parameter) {
  std::unique_ptr<Work> work(static_cast<Work*>(parameter));
  try {
    (*work)();
  } catch (...) {
    // Nothing may leave a thread procedure.
  }
  return 0;
}

}  // namespace

UniqueHandle StartWorker(std::function<void()> work, size_t stackReserve) {
  auto* held = new (std::nothrow) Work(std::move(work));
  if (!held) return {};
  UniqueHandle thread(CreateThread(nullptr, stackReserve, RunWork, held,
                                   stackReserve ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr));
  if (!thread) delete held;
  return thread;
}

bool QueueWorker(std::function<void()> work) {
  auto* held = new (std::nothrow) Work(std::move(work));
  if (!held) return false;
  // The pool's threads may block in the work as long as it takes (a network exchange).
  if (QueueUserWorkItem(RunWork, held, WT_EXECUTELONGFUNCTION)) return true;
  delete held;
  return false;
}

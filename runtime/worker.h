#pragma once
// The one way to start a worker: a thread that owns its work. The work (a callable and whatever it
// captured, a shared state above all) lives on the worker until it returns, so a starter that stops
// waiting for it, or is gone, leaves it everything it uses. Nothing thrown leaves the worker: work
// that must tell of a failure catches it itself.

#include <cstddef>
#include <functional>

#include "runtime/handles.h"

// Runs `work` on a thread of its own, with `stackReserve` bytes of address space for its stack (0:
// the program's default). The thread's handle, for waiting on it; dropping it lets the thread run on.
// Empty when no thread could be started: `work` did not run and is gone, the starter keeps what it
// shares with it.
UniqueHandle StartWorker(std::function<void()> work, size_t stackReserve = 0);

// The same on a thread of the process's pool, for work that comes often (a thread made for each
// piece would cost more than many a piece); false when it could not be queued.
bool QueueWorker(std::function<void()> work);

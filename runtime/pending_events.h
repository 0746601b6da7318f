#pragma once
#include <functional>

// Dispatches the window messages waiting for the calling thread and returns. Long operations on
// the window's thread call it so the window keeps painting and answering. The window installs a
// message pump; without one (tests, worker threads) it does nothing.
void ProcessPendingEvents();

// Installs the pump ProcessPendingEvents runs; an empty function removes it.
void SetPendingEventsPump(std::function<void()> pump);

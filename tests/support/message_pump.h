#pragma once
// Message pumping for window tests: a bounded wait that keeps the test thread's windows and timers
// running. Messages that ask to quit are dropped, since the test itself decides when it ends.

#include <windows.h>

#include <functional>

// Pumps until `done` returns true (true) or `timeoutMs` passes (false).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Pumps for `ms` milliseconds.
void PumpFor(DWORD ms);

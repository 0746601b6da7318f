#pragma once
// A stop asked on one thread and seen on others: a flag to test, an event to wait on beside other
// handles, and a pause that ends early when the stop comes. A signal nobody requests never stops.

#include <windows.h>

#include <atomic>

#include "runtime/handles.h"

class StopSignal {
 public:
  StopSignal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Request() {
    requested_ = true;
    if (event_) SetEvent(event_.get());
  }
  bool Requested() const { return requested_; }
  // Signalled once the stop is requested; null when no event could be made (then only the flag
  // tells).
  HANDLE Event() const { return event_.get(); }
  // Waits `ms` unless the stop comes first; true when it has.
  bool WaitFor(DWORD ms) const {
    if (!event_) {
      if (!requested_) Sleep(ms);
      return requested_;
    }
    return WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0 || requested_;
  }

 private:
  UniqueHandle event_;
  std::atomic<bool> requested_{false};
};

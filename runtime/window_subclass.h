#pragma once
// A window procedure put in front of windows' own, each window's previous procedure and state kept
// in the procedure's own table, keyed by the window handle. Finding them costs a hash look-up and
// no call into the system on every message: comctl32's SetWindowSubclass finds its chain through a
// window property per message, and under Wine every property look-up is a round trip to the
// server.

#include <windows.h>

#include <new>
#include <optional>
#include <unordered_map>

// One table per procedure, which calls Dispatch. A window's messages come on its own thread; the
// table may serve windows of several threads.
template <class State>
class WindowSubclasses {
 public:
  struct Entry {
    WNDPROC previous = nullptr;
    State state{};
    bool passing = false;  // let go of while another procedure stood in front: passes everything on
  };

  explicit WindowSubclasses(WNDPROC procedure) : procedure_(procedure) {}
  WindowSubclasses(const WindowSubclasses&) = delete;
  WindowSubclasses& operator=(const WindowSubclasses&) = delete;

  // Puts the procedure in front of the window's with `state`; a window that has it already (or
  // still passes messages through it) takes the new state. False when the system refused.
  bool Attach(HWND hwnd, const State& state) {
    {
      Lock lock(&lock_, true);
      if (auto at = entries_.find(hwnd); at != entries_.end()) {
        at->second.state = state;
        at->second.passing = false;
        return true;
      }
    }
    SetLastError(0);
    const LONG_PTR previous = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure_));
    if (!previous && GetLastError() != 0) return false;
    // No message reaches the window between the exchange and this: its messages come on this
    // thread, which sends none here.
    try {
      Lock lock(&lock_, true);
      entries_[hwnd] = Entry{reinterpret_cast<WNDPROC>(previous), state, false};
      return true;
    } catch (const std::bad_alloc&) {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, previous);
      return false;
    }
  }

  // The window's entry while the procedure serves it (not after Detach).
  std::optional<Entry> Find(HWND hwnd) const {
    Lock lock(&lock_, false);
    const auto at = entries_.find(hwnd);
    if (at == entries_.end() || at->second.passing) return std::nullopt;
    return at->second;
  }

  // Changes a served window's state in place; `change` must not call into the system.
  template <class Change>
  void Update(HWND hwnd, Change&& change) {
    Lock lock(&lock_, true);
    if (auto at = entries_.find(hwnd); at != entries_.end() && !at->second.passing) change(at->second.state);
  }

  // Gives the window its previous procedure back. Only while ours is the window's procedure:
  // putting the previous one back under a later one would cut that one out. Otherwise ours stays
  // in the chain, passing everything on.
  void Detach(HWND hwnd) {
    Lock lock(&lock_, true);
    const auto at = entries_.find(hwnd);
    if (at == entries_.end()) return;
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(procedure_)) {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(at->second.previous));
      entries_.erase(at);
    } else {
      at->second.passing = true;
    }
  }

  // What the procedure does with every message: `handle(entry)` for a served window, the
  // previous procedure for one let go of. The window's last message takes its entry along.
  template <class Handler>
  LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, Handler&& handle) {
    std::optional<Entry> entry;
    {
      Lock lock(&lock_, msg == WM_NCDESTROY);
      const auto at = entries_.find(hwnd);
      if (at == entries_.end()) return DefWindowProcW(hwnd, msg, wp, lp);  // not one of ours: cannot happen
      entry = at->second;
      if (msg == WM_NCDESTROY) entries_.erase(at);
    }
    if (entry->passing || msg == WM_NCDESTROY) return CallWindowProcW(entry->previous, hwnd, msg, wp, lp);
    return handle(*entry);
  }

  // The procedure the window had before ours (DefWindowProc for a window that is not in the table).
  LRESULT CallPrevious(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) const {
    WNDPROC previous = nullptr;
    {
      Lock lock(&lock_, false);
      if (const auto at = entries_.find(hwnd); at != entries_.end()) previous = at->second.previous;
    }
    return previous ? CallWindowProcW(previous, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
  }

 private:
  // A slim reader/writer lock, taken in user mode; never held across a call that may send a
  // message.
  class Lock {
   public:
    Lock(SRWLOCK* lock, bool exclusive) : lock_(lock), exclusive_(exclusive) {
      exclusive_ ? AcquireSRWLockExclusive(lock_) : AcquireSRWLockShared(lock_);
    }
    ~Lock() { exclusive_ ? ReleaseSRWLockExclusive(lock_) : ReleaseSRWLockShared(lock_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    SRWLOCK* lock_;
    bool exclusive_;
  };

  WNDPROC procedure_;
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  std::unordered_map<HWND, Entry> entries_;
};

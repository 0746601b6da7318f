#pragma once
// The end of one exchange taken as a whole: time-outs bound each wait of a network call, not the
// sum of them.

#include <windows.h>

class ExchangeDeadline {
 public:
  explicit ExchangeDeadline(int limitMs)
      : end_(GetTickCount64() + static_cast<ULONGLONG>(limitMs > 0 ? limitMs : 0)) {}

  bool Passed() const { return GetTickCount64() >= end_; }

  // `timeoutMs`, or what is left when that is less; at least 1, since 0 means "no time-out" to
  // the Internet APIs.
  DWORD Bound(DWORD timeoutMs) const {
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG left = now >= end_ ? 1 : end_ - now;
    return left < timeoutMs ? static_cast<DWORD>(left) : timeoutMs;
  }

 private:
  ULONGLONG end_;
};

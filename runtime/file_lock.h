#pragma once
// A lock shared with other processes: a file held open exclusively for as long as the lock lives,
// and removed when it is let go. The system closes the files of a process that ends, however it
// ends, so a program that crashed holding the lock blocks nobody, and a lock file left on disk is
// no lock.

#include <string>

#include "runtime/handles.h"

class FileLock {
 public:
  // Waits up to `waitMs` for the lock at `path` (GBK); held() tells whether it was had.
  FileLock(const std::string& path, unsigned waitMs);
  bool held() const { return static_cast<bool>(file_); }

 private:
  UniqueFile file_;
};

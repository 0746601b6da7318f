#include "runtime/file_lock.h"

#include "runtime/codepage.h"

namespace {

constexpr DWORD kRetryMs = 15;

// Another holder has it open, or has just let it go and its removal is still pending.
bool HeldElsewhere(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

FileLock::FileLock(const std::string& path, unsigned waitMs) {
  const std::wstring wide = GbkToWide(path);
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    file_.reset(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file_ || !HeldElsewhere(GetLastError()) || GetTickCount64() - start >= waitMs) return;
    Sleep(kRetryMs);
  }
}

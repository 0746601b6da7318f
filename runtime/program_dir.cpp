#include "runtime/program_dir.h"

#include <windows.h>

#include <vector>

#include "runtime/codepage.h"

std::string ProgramDirectory() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      std::wstring full(path.data(), n);
      size_t slash = full.find_last_of(L"\\/");
      return WideToGbk(slash == std::wstring::npos ? std::wstring() : full.substr(0, slash));
    }
    path.resize(path.size() * 2);
  }
}

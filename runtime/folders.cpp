#include "runtime/folders.h"

#include <windows.h>

#include "runtime/codepage.h"

bool EnsureFolder(std::string path) {
  if (path.empty()) return false;
  if (path.back() != '\\') path += '\\';
  const std::wstring wide = GbkToWide(path);
  // Like MakeSureDirectoryPathExists: everything up to the last backslash is a folder. Each level
  // is created in turn; the drive ("C:\") or the server share ("\\server\share\") come first.
  size_t start = 0;
  if (wide.size() > 2 && wide[0] == L'\\' && wide[1] == L'\\') {
    size_t server = wide.find(L'\\', 2);
    start = server == std::wstring::npos ? wide.size() : wide.find(L'\\', server + 1);
  } else if (wide.size() > 2 && wide[1] == L':') {
    start = 2;
  }
  for (size_t slash = wide.find(L'\\', start == std::wstring::npos ? wide.size() : start + 1);
       slash != std::wstring::npos; slash = wide.find(L'\\', slash + 1)) {
    std::wstring level = wide.substr(0, slash);
    if (level.empty() || level.back() == L':') continue;
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      DWORD attributes = GetFileAttributesW(level.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    }
  }
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

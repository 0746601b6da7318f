#include "runtime/folders.h"

#include <windows.h>

#include "runtime/codepage.h"
#include "runtime/handles.h"

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

bool ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
  return ReadWholeFile(path, maxBytes, bytes).failure == FileReadFailure::None;
}

FileReading ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    switch (error) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND: return {FileReadFailure::Missing, error};
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION: return {FileReadFailure::InUse, error};
      default: return {FileReadFailure::Other, error};
    }
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return {FileReadFailure::Other, GetLastError()};
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return {FileReadFailure::TooLarge, 0};
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
    const DWORD error = GetLastError();
    bytes.clear();
    return {error == ERROR_LOCK_VIOLATION ? FileReadFailure::InUse : FileReadFailure::Other, error};
  }
  if (got != bytes.size()) {
    bytes.clear();
    return {FileReadFailure::Other, 0};
  }
  return {};
}

namespace {

bool WriteParts(HANDLE file, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) {
    while (!part.empty()) {
      // WriteFile takes a 32-bit count; larger parts go in pieces.
      const DWORD size = part.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(part.size());
      DWORD written = 0;
      if (!WriteFile(file, part.data(), size, &written, nullptr) || written == 0) return false;
      part.remove_prefix(written);
    }
  }
  return true;
}

}  // namespace

// The flush comes before the move: a file system may write the new name to the disk before the
// data, and a power cut in between would leave an empty or partial file under the old name.
bool ReplaceFileWhole(const std::string& path, std::initializer_list<std::string_view> parts) {
  const std::wstring target = GbkToWide(path);
  const std::wstring temporary = target + L".part";
  bool ok;
  {
    UniqueFile file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ok = WriteParts(file.get(), parts) && FlushFileBuffers(file.get());
  }
  ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}
